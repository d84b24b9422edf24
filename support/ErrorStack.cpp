#include "support/ErrorStack.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>

namespace qm {
namespace {

std::deque<std::string>& Stack() {
    static std::deque<std::string> stack;
    return stack;
}

void WriteToStandardError(const std::string& text) {
    std::fprintf(stderr, "error: %s\n%s", kErrorBoxTitle, text.c_str());
    if (!text.empty() && text.back() != '\n')
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

ErrorBoxHandler& BoxHandler() {
    static ErrorBoxHandler handler = WriteToStandardError;
    return handler;
}

std::string SystemErrorText(int errorNumber) {
    char buffer[256] = {};
    // The GNU variant may return a static string instead of filling the buffer.
    const char* text = strerror_r(errorNumber, buffer, sizeof buffer);
    return text ? text : "";
}

} // namespace

void PushError(const std::string& message, const std::string& tag, int32_t line) {
    if (!tag.empty() && line != 0)
        Stack().push_back("[" + tag + "," + std::to_string(line) + "] " + message);
    else
        Stack().push_back(message);
}

void SetError(const std::string& message, const std::string& tag, int32_t line) {
    ClearErrors();
    PushError(message, tag, line);
}

void SetSystemError(const std::string& message, const std::string& tag, int32_t line) {
    SetSystemErrorCode(errno, message, tag, line);
}

void SetSystemErrorCode(int errorNumber, const std::string& message, const std::string& tag,
                        int32_t line) {
    ClearErrors();
    PushError("(errno," + std::to_string(static_cast<unsigned>(errorNumber)) + ") " +
                  SystemErrorText(errorNumber),
              tag, line);
    if (!message.empty())
        PushError(message, tag, line);
}

void ClearErrors() {
    Stack().clear();
}

bool PopError(std::string& text) {
    if (Stack().empty())
        return false;
    text = std::move(Stack().back());
    Stack().pop_back();
    return true;
}

size_t ErrorCount() {
    return Stack().size();
}

void ShowErrors() {
    std::string all;
    std::string text;
    while (PopError(text))
        all += text + "\n";
    ShowErrorText(all);
}

void ShowErrorText(const std::string& text) {
    if (BoxHandler())
        BoxHandler()(text);
}

void SetErrorBoxHandler(ErrorBoxHandler handler) {
    BoxHandler() = std::move(handler);
}

} // namespace qm
