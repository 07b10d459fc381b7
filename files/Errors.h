#pragma once
// The one error type of the program. A failing command throws it; the top level reports its
// message in the standard error box (or on standard error in the command-line reader).
// Messages are UTF-8, in the interface language.

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace kven {

class KvenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    // `detail` says why, and what to do about it, apart from the message: the error box shows
    // it below the message, the command-line reader after it.
    KvenError(const std::string& message, std::string detail) : std::runtime_error(message), detail_(std::move(detail))
    {
    }
    const std::string& detail() const { return detail_; }

private:
    std::string detail_;
};

// Why a file could not be read, from the errno value of the failure (0: it is no regular
// file), with what to do when there is something: "ファイルがありません。名前と場所を確かめて
// ください", "読む権限がありません。…", ...
std::string readFailureReason(int error);

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
