#pragma once
// Enter presses the focused button in every window of the program, as it
// does on Windows, where Qt's own windows take only the space bar.
class QApplication;

namespace desktop {

void pressFocusedButtonsWithEnter(QApplication& application);

} // namespace desktop
