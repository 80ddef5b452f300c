#include "update/errors.h"

#include "resources/resource.h"
#include "util/errors.h"
#include "util/text.h"

#include <windows.h>

std::string WindowsErrorText(unsigned long code)
{
    return FormatText(IDS_WINDOWS_ERROR, {std::to_string(code), SystemErrorText(code)});
}

std::string WithWindowsError(const std::string& text, unsigned long code)
{
    return text + " (" + WindowsErrorText(code) + ")";
}

std::string Failure::Message() const
{
    const std::string message = FormatText(text, arguments);
    return windowsError == ERROR_SUCCESS ? message : WithWindowsError(message, windowsError);
}

Failure AtLastError(unsigned int text, std::initializer_list<std::string> arguments)
{
    const DWORD error = GetLastError();
    return {text, arguments, error};
}

bool IsHeldError(unsigned long code)
{
    return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
}

std::string ErrorText(const std::exception& error)
{
    if (const auto* file = dynamic_cast<const FileError*>(&error)) {
        const unsigned int id = file->kind() == FileError::kRead ? IDS_FILE_NOT_READABLE : IDS_FILE_NOT_WRITABLE;
        return Failure{id, {file->path()}, file->error()}.Message();
    }
    if (const auto* text = dynamic_cast<const TextError*>(&error))
        return FormatText(IDS_TEXT_NOT_CP1252, {text->path(), std::to_string(text->line())});
    if (const auto* number = dynamic_cast<const NumberError*>(&error))
        return FormatText(IDS_NOT_AN_INTEGER, {number->text()});
    return error.what();
}
