#include "files/Errors.h"

#include <cerrno>
#include <cstring>

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

std::string readFailureReason(int error)
{
    switch (error) {
    case 0: return "通常のファイルではありません。フォルダーや装置は開けません";
    case ENOENT:
    case ENOTDIR: return "ファイルがありません。名前と場所を確かめてください";
    case EACCES:
    case EPERM: return "読む権限がありません。ファイルの権限を確かめてください";
    case ELOOP: return "シンボリックリンクが循環しています";
    case EIO: return "読み取り中に入出力エラーが起きました。ディスクや接続先を確かめてください";
    case ENOMEM: return "メモリーが足りません";
    default: return std::strerror(error);
    }
}

} // namespace kven
