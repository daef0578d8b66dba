// Opens the window, scans one file in it as a user would through FILEscan,
// and saves a picture of the window, frame included, as a 24-bit BMP:
// window_screenshot SAMPLE OUT.bmp. Used by scripts/windows-screenshot in a
// Wine desktop on a virtual X display.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>

#include "gui_win32/form1.h"

namespace {

using namespace mailsift::gui_win32;

// Answers the open dialog with the sample; nothing else is asked.
class SampleDialog final : public Dialogs {
 public:
  explicit SampleDialog(std::string sample) : m_sample(std::move(sample)) {}
  std::string showOpen(HWND, const std::string&, const std::string&, const std::string&) override { return m_sample; }
  std::string showSave(HWND, const std::string&, const std::string&, const std::string&) override { return {}; }
  std::string browseFolder(HWND, const std::string&, const std::string&) override { return {}; }
  std::string inputBox(HWND, const std::string&, const std::string&, const std::string&) override { return {}; }
  void messageBox(HWND, const std::string&, const std::string&, MessageIcon) override {}
  bool askYesNo(HWND, const std::string&, const std::string&) override { return false; }
  void openWebPage(const std::string&) override {}

 private:
  std::string m_sample;
};

void pumpFor(std::chrono::milliseconds time) {
  const auto end = std::chrono::steady_clock::now() + time;
  while (std::chrono::steady_clock::now() < end) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// The screen's pixels under `window`'s frame, written to `path`.
bool savePicture(HWND window, const char* path) {
  RECT frame{};
  ::GetWindowRect(window, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const HDC screen = ::GetDC(nullptr);
  const HDC memory = ::CreateCompatibleDC(screen);
  BITMAPINFOHEADER info{sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  const HBITMAP picture =
      ::CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ before = ::SelectObject(memory, picture);
  ::BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
  ::GdiFlush();
  const auto size = static_cast<DWORD>(((width * 3 + 3) & ~3) * height);
  constexpr DWORD kHeaders = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  const BITMAPFILEHEADER header{0x4D42, kHeaders + size, 0, 0, kHeaders};
  bool saved = false;
  if (FILE* file = std::fopen(path, "wb")) {
    saved = std::fwrite(&header, sizeof header, 1, file) == 1 && std::fwrite(&info, sizeof info, 1, file) == 1 &&
            std::fwrite(bits, 1, size, file) == size;
    saved = std::fclose(file) == 0 && saved;
  }
  ::SelectObject(memory, before);
  ::DeleteObject(picture);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: window_screenshot SAMPLE OUT.bmp\n");
    return 2;
  }
  SampleDialog dialogs(argv[1]);
  WindowSettings settings;
  settings.makerUrl = MAILSIFT_MAKER_URL;
  const std::time_t now = std::time(nullptr);
  settings.year = std::localtime(&now)->tm_year + 1900;
  Form1 form(dialogs, mailsift::LoadUiTexts(0), settings);
  form.show(SW_SHOWNORMAL);
  pumpFor(std::chrono::milliseconds(500));
  ::SendMessageW(form.control(Command1), BM_CLICK, 0, 0);
  for (int waited = 0; form.isScanning() && waited < 3000; ++waited) pumpFor(std::chrono::milliseconds(10));
  pumpFor(std::chrono::milliseconds(500));
  if (!savePicture(form.window(), argv[2])) {
    std::fprintf(stderr, "cannot save %s\n", argv[2]);
    return 1;
  }
  return 0;
}
