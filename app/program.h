#pragma once
// The program's start: the real platform pieces wired into the window.
#include <functional>

class QApplication;

namespace app {

class Form1;

// Sets what every window of the program shares: the font names' faces,
// Qt's own texts in Japanese, and the window's font for dialogs and
// messages.
void setUpApplication();

// Runs the program in an existing QApplication. beforeShow, when given,
// sees the loaded window just before it is first shown.
int runProgram(QApplication& application, const std::function<void(Form1&)>& beforeShow = {});

} // namespace app
