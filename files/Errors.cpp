#include "files/Errors.h"

#include <cerrno>

namespace kven {

std::string msgCannotOpen(std::string_view path)
{
    return "ファイル " + std::string(path) + " は開けません";
}

std::string msgCannotCreate(std::string_view path)
{
    return "ファイル " + std::string(path) + " を作成できません";
}

std::string msgWriteFailed(std::string_view path)
{
    if (errno == ENOSPC || errno == EDQUOT)
        return "ディスクに空きがないため、ファイル " + std::string(path) + " を書き出せません";
    return msgCannotCreate(path);
}

std::string msgNotRegularFile(std::string_view path)
{
    return "ファイル " + std::string(path) + " は通常のファイルではありません";
}

std::string msgListIndex(long long index)
{
    return "リストのインデックスが範囲を超えています (" + std::to_string(index) + ")";
}

std::string msgTextTooLarge()
{
    return "文字列の大きさが メモ の制限を越えました";
}

std::string errorBoxText(std::string_view message)
{
    std::string text(message);
    // In UTF-8 every byte of a multi-byte character is above ".", so the last byte decides.
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text.push_back('.');
    return text;
}

} // namespace kven
