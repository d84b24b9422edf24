// The process-wide error stack: how code outside the running machine reports failures.
// The lowest level calls SetError (which clears older messages), callers push more
// general messages on top, and the host finally shows the whole stack in one error box.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qm {

// Pushes one message. With a tag and a non-zero line it reads "[tag,line] message".
void PushError(const std::string& message, const std::string& tag = {}, int32_t line = 0);

// ClearErrors, then PushError.
void SetError(const std::string& message, const std::string& tag = {}, int32_t line = 0);

// Reports the operating system's last error (errno, read first): clears the stack, pushes
// "(errno,N) " + the system's text for N, then `message` on top when it is not empty.
void SetSystemError(const std::string& message, const std::string& tag = {}, int32_t line = 0);

// The same with an explicit error number, for callers that saved errno themselves.
void SetSystemErrorCode(int errorNumber, const std::string& message, const std::string& tag = {},
                        int32_t line = 0);

void ClearErrors();

// Moves the newest message into `text`; false when the stack is empty.
bool PopError(std::string& text);

// Number of messages waiting (for tests and for hosts that decide whether to show a box).
size_t ErrorCount();

// Pops every message, newest first, each followed by "\n", and shows them in an error box.
void ShowErrors();

// Shows one text in an error box.
void ShowErrorText(const std::string& text);

// The title of every error box.
inline constexpr const char* kErrorBoxTitle = "Tarquil - Error";

// How an error box is shown: the window program opens a message box, the headless runner
// writes to standard error. The default writes to standard error as the runner does.
using ErrorBoxHandler = std::function<void(const std::string& text)>;
void SetErrorBoxHandler(ErrorBoxHandler handler);

} // namespace qm
