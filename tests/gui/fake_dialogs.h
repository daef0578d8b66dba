// Dialogs that answer from queues instead of asking a person, and remember
// how they were asked.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

#include "gui/dialogs.h"

namespace mailsift::test {

class FakeDialogs final : public gui::Dialogs {
 public:
  struct Asked {
    QString title;
    QString prompt;  // input box prompt, or the filter description of a file dialog
    QString folder;  // initial or start folder
    QString preset;
  };
  struct Message {
    QString text;
    QString title;
    gui::MessageIcon icon;
  };

  std::deque<QString> openAnswers, saveAnswers, folderAnswers, inputAnswers;
  std::deque<bool> yesNoAnswers;  // an empty queue answers No
  std::vector<Asked> opens, saves, folders, inputs, questions;
  std::vector<Message> messages;
  QStringList openedPages;

  QString showOpen(QWidget*, const QString& initialFolder, const QString& title, const QString& filter) override {
    opens.push_back({title, filter, initialFolder, {}});
    return next(openAnswers);
  }
  QString showSave(QWidget*, const QString& initialFolder, const QString& title, const QString& filter) override {
    saves.push_back({title, filter, initialFolder, {}});
    return next(saveAnswers);
  }
  QString browseFolder(QWidget*, const QString& title, const QString& startFolder) override {
    folders.push_back({title, {}, startFolder, {}});
    return next(folderAnswers);
  }
  QString inputBox(QWidget*, const QString& prompt, const QString& title, const QString& preset) override {
    inputs.push_back({title, prompt, {}, preset});
    return next(inputAnswers);
  }
  void messageBox(QWidget*, const QString& text, const QString& title, gui::MessageIcon icon) override {
    messages.push_back({text, title, icon});
  }
  bool askYesNo(QWidget*, const QString& question, const QString& title) override {
    questions.push_back({title, question, {}, {}});
    if (yesNoAnswers.empty()) return false;
    const bool yes = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return yes;
  }
  void openWebPage(const QString& url) override { openedPages.push_back(url); }

 private:
  // An empty queue answers like a cancelled dialog.
  static QString next(std::deque<QString>& answers) {
    if (answers.empty()) return {};
    QString answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace mailsift::test
