#pragma once
// The one error type of the program. A failing command throws it; the top level reports its
// message in the standard error box (or on standard error in the command-line reader).
// Messages are UTF-8, in the interface language.

#include <stdexcept>
#include <string>
#include <string_view>

namespace kven {

class KvenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "ファイル %s は開けません"
std::string msgCannotOpen(std::string_view path);
// "ファイル %s を作成できません"
std::string msgCannotCreate(std::string_view path);
// After a failed write to a file being created: "ディスクに空きがないため、ファイル %s を
// 書き出せません" when errno says the disk (or the user's quota) is full, else msgCannotCreate.
std::string msgWriteFailed(std::string_view path);
// "ファイル %s は通常のファイルではありません": a folder, FIFO or device that a write would
// replace.
std::string msgNotRegularFile(std::string_view path);
// "リストのインデックスが範囲を超えています (%d)"
std::string msgListIndex(long long index);
// "文字列の大きさが メモ の制限を越えました"
std::string msgTextTooLarge();

// The text of the standard error box: the message followed by "." unless it is empty or
// already ends in a character that sorts at or below ".".
std::string errorBoxText(std::string_view message);

} // namespace kven
