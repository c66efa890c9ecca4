#pragma once

// The program's life on the user-interface thread: language, main window, event loop,
// release. Answers the process exit code: 0 after a normal close and after a start-up
// failure that was reported, 255 when no language pack can be found.
int RunApplication();
