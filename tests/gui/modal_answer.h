// Answers modal dialogs in tests: the code under test calls exec(), and a
// ModalAnswer acts on the dialog from inside that loop, so no test waits for
// a person.
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace mailsift::gui::test {

// While it lives, watches for a modal widget other than `ignored` and calls
// `answer` with the first one that opens (from inside that widget's event
// loop). If the widget is still open after `answer`, it is rejected, and any
// later modal widget is rejected and counted as unexpected, so an exec()
// cannot wait for ever. Polling stops when the object is destroyed.
class ModalAnswer {
 public:
  explicit ModalAnswer(std::function<void(QWidget*)> answer, const QWidget* ignored = nullptr);
  ~ModalAnswer();
  ModalAnswer(const ModalAnswer&) = delete;
  ModalAnswer& operator=(const ModalAnswer&) = delete;

  // True once `answer` has been called.
  [[nodiscard]] bool answered() const noexcept { return m_answered; }
  // How many modal widgets opened after the answered one (and were closed).
  [[nodiscard]] int unexpected() const noexcept { return m_unexpected; }

 private:
  void poll();

  std::function<void(QWidget*)> m_answer;
  QPointer<const QWidget> m_ignored;
  QTimer m_timer;
  bool m_answered = false;
  int m_unexpected = 0;
};

}  // namespace mailsift::gui::test
