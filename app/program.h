#pragma once
// The program's start: the real platform pieces wired into the window.
#include <functional>

class QApplication;

namespace app {

class Form1;

// Runs the program in an existing QApplication. beforeShow, when given,
// sees the loaded window just before it is first shown.
int runProgram(QApplication& application, const std::function<void(Form1&)>& beforeShow = {});

} // namespace app
