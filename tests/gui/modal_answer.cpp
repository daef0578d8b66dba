// Polls QApplication::activeModalWidget() from a timer that also fires in
// nested event loops.
#include "modal_answer.h"

#include <QApplication>
#include <QDialog>

#include <utility>

namespace mailsift::gui::test {

namespace {

constexpr int kPollMilliseconds = 10;

void closeModal(QWidget* widget) {
  if (auto* dialog = qobject_cast<QDialog*>(widget)) {
    dialog->reject();
  } else {
    widget->close();
  }
}

}  // namespace

ModalAnswer::ModalAnswer(std::function<void(QWidget*)> answer, const QWidget* ignored)
    : m_answer(std::move(answer)), m_ignored(ignored) {
  m_timer.setInterval(kPollMilliseconds);
  QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
  m_timer.start();
}

ModalAnswer::~ModalAnswer() { m_timer.stop(); }

void ModalAnswer::poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr || modal == m_ignored || !modal->isVisible()) return;
  if (m_answered) {
    ++m_unexpected;
    closeModal(modal);
    return;
  }
  m_answered = true;
  QPointer<QWidget> guard(modal);
  // A failed check inside `answer` returns early; the dialog is closed anyway.
  m_answer(modal);
  if (!guard.isNull() && guard->isVisible() && QApplication::activeModalWidget() == guard) closeModal(guard);
}

}  // namespace mailsift::gui::test
