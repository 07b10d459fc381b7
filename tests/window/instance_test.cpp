// The hand-over between copies: its outcomes, copies started at the same moment, peers that
// are not copies, and the folder the socket lives in. The asking copy runs on a thread of its
// own, as a second process would, while the running copy serves from the event loop.

#include "files/Errors.h"
#include "instance/InstanceHandOver.h"
#include "support/AnsweringDialogs.h"
#include "support/ScopedEnv.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <future>
#include <latch>
#include <memory>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace kven;
using namespace std::chrono_literals;
using Outcome = InstanceHandOver::Outcome;
Q_DECLARE_METATYPE(Outcome)

namespace {

// Waits for `result` while the event loop goes on, so that the running copy can answer.
template<class T> T whileServing(std::future<T>& result)
{
    while (result.wait_for(0ms) != std::future_status::ready)
        QTest::qWait(5);
    return result.get();
}

template<class F> auto offTheLoop(F work)
{
    auto result = std::async(std::launch::async, std::move(work));
    return whileServing(result);
}

sockaddr_un addressOf(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    return address;
}

// A peer that is not a copy: connected without blocking, once the copy's queue has room.
int connectPeer(const std::string& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const sockaddr_un address = addressOf(path);
    for (int tries = 0; tries < 2000; ++tries) {
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0)
            return fd;
        if (errno != EAGAIN)
            break;
        QTest::qWait(1);
    }
    ::close(fd);
    return -1;
}

// Sends as much of `bytes` as the copy takes before it drops the peer.
void sendPayload(int fd, const QByteArray& bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + sent, static_cast<std::size_t>(bytes.size() - sent),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0)
            sent += n;
        else if (n < 0 && errno == EAGAIN)
            QTest::qWait(1);
        else
            return;
    }
}

bool droppedByTheCopy(int fd)
{
    pollfd state{fd, POLLRDHUP, 0};
    return ::poll(&state, 1, 0) > 0 && (state.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

int dropped(const std::vector<int>& fds)
{
    return static_cast<int>(std::count_if(fds.begin(), fds.end(), droppedByTheCopy));
}

// Adds what has come on `fd` to `answer`; true once a line is complete.
bool lineCame(int fd, std::string& answer)
{
    char buffer[64];
    const ssize_t n = ::recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT);
    if (n > 0)
        answer.append(buffer, static_cast<std::size_t>(n));
    return answer.find('\n') != std::string::npos;
}

bool ownerOnlyFolder(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
           (info.st_mode & 0777) == 0700;
}

} // namespace

class InstanceTest : public QObject {
    Q_OBJECT

private slots:
    void outcomes_data();
    void outcomes();
    void simultaneousStartsLeaveOneCopy_data();
    void simultaneousStartsLeaveOneCopy();
    void peersThatAreNotCopies_data();
    void peersThatAreNotCopies();
    void socketFolder_data();
    void socketFolder();
};

void InstanceTest::outcomes_data()
{
    QTest::addColumn<QString>("running");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<bool>("firstListens");
    QTest::addColumn<int>("closeCalls");

    QTest::newRow("no copy") << "none" << 5000 << Outcome::NoCopy << false << 0;
    QTest::newRow("a socket left by a killed copy") << "stale" << 5000 << Outcome::NoCopy << false << 0;
    QTest::newRow("a file in the socket's place") << "file" << 5000 << Outcome::NoCopy << false << 0;
    QTest::newRow("the running copy closes") << "closes" << 5000 << Outcome::Closed << false << 1;
    // Its bookmark could not be written: it stays, and keeps the name.
    QTest::newRow("the running copy stays open") << "refuses" << 5000 << Outcome::StayedOpen << true << 1;
    // An error box holds its creation sequence past the wait: it keeps the name, and the
    // request given up meanwhile does not close it once it is ready.
    QTest::newRow("a copy still being created") << "creating" << 300 << Outcome::StayedOpen << true << 0;
    QTest::newRow("a copy ready within the wait") << "readySoon" << 5000 << Outcome::Closed << false << 1;
}

void InstanceTest::outcomes()
{
    QFETCH(QString, running);
    QFETCH(int, timeoutMs);
    QFETCH(Outcome, outcome);
    QFETCH(bool, firstListens);
    QFETCH(int, closeCalls);

    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string path = folder + "/TForm1";
    int calls = 0;
    std::unique_ptr<InstanceHandOver> first;
    const QObject ready; // ends the timer below with the test
    if (running == "stale") {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const sockaddr_un address = addressOf(path);
        QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
        ::close(fd);
    } else if (running == "file") {
        QFile file(QString::fromStdString(path));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a socket");
    } else if (running != "none") {
        first = std::make_unique<InstanceHandOver>(folder);
        QCOMPARE(first->start(1s), Outcome::NoCopy);
        const bool closes = running != "refuses";
        auto closeWindow = [&calls, closes] {
            ++calls;
            return closes;
        };
        if (running == "readySoon")
            QTimer::singleShot(300, &ready, [&first, closeWindow] { first->serve(closeWindow); });
        else if (running != "creating")
            first->serve(closeWindow);
    }

    testing::AnsweringDialogs dialogs;
    InstanceHandOver second(folder);
    QCOMPARE(offTheLoop([&] { return handOverAtStart(second, dialogs, std::chrono::milliseconds(timeoutMs)); }),
             outcome);
    const bool goesOn = outcome != Outcome::StayedOpen;
    QCOMPARE(second.listening(), goesOn);
    if (first)
        QCOMPARE(first->listening(), firstListens);
    const std::vector<std::string> boxes =
        goesOn ? std::vector<std::string>{} : std::vector<std::string>{errorBoxText(kStillRunningMessage)};
    QCOMPARE(dialogs.errors, boxes);

    if (running == "creating") {
        first->serve([&calls] {
            ++calls;
            return true;
        });
        QTest::qWait(200);
        QCOMPARE(calls, 0);
        // The name still leads to it.
        InstanceHandOver third(folder);
        QCOMPARE(offTheLoop([&] { return third.start(5s); }), Outcome::Closed);
        QCOMPARE(calls, 1);
        return;
    }
    QCOMPARE(calls, closeCalls);
}

void InstanceTest::simultaneousStartsLeaveOneCopy_data()
{
    QTest::addColumn<bool>("copyRuns");
    QTest::newRow("no copy runs") << false;
    QTest::newRow("a copy runs") << true;
}

void InstanceTest::simultaneousStartsLeaveOneCopy()
{
    QFETCH(bool, copyRuns);
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    InstanceHandOver running(folder);
    int closeCalls = 0;
    if (copyRuns) {
        QCOMPARE(running.start(1s), Outcome::NoCopy);
        running.serve([&closeCalls] {
            ++closeCalls;
            return true;
        });
    }

    constexpr int kStarts = 8;
    std::vector<std::unique_ptr<InstanceHandOver>> starts;
    for (int i = 0; i < kStarts; ++i)
        starts.push_back(std::make_unique<InstanceHandOver>(folder));
    std::latch together(kStarts);
    std::vector<std::future<Outcome>> outcomes;
    for (auto& start : starts)
        outcomes.push_back(std::async(std::launch::async, [&together, &start] {
            together.arrive_and_wait();
            // The winner never serves here, so the others find a copy that does not answer.
            return start->start(200ms);
        }));
    int tookOver = 0;
    int listening = 0;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        tookOver += whileServing(outcomes[i]) != Outcome::StayedOpen ? 1 : 0;
        listening += starts[i]->listening() ? 1 : 0;
    }
    QCOMPARE(tookOver, 1);
    QCOMPARE(listening, 1);
    QCOMPARE(closeCalls, copyRuns ? 1 : 0);

    // The name leads to the one that took over.
    int winnerCalls = 0;
    for (auto& start : starts)
        if (start->listening())
            start->serve([&winnerCalls] {
                ++winnerCalls;
                return true;
            });
    InstanceHandOver next(folder);
    QCOMPARE(offTheLoop([&] { return next.start(5s); }), Outcome::Closed);
    QCOMPARE(winnerCalls, 1);
}

void InstanceTest::peersThatAreNotCopies_data()
{
    QTest::addColumn<int>("connections");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("requestMs");
    QTest::addColumn<int>("droppedPeers");
    QTest::addColumn<bool>("answered");

    QTest::newRow("a junk line, then a close request in the same write")
        << 1 << QByteArray("hello\nclose\n") << 10000 << 1 << true;
    QTest::newRow("junk lines only") << 1 << QByteArray("hello\n\xff\xfe\nclosed\nCLOSE\n close\n") << 10000 << 0
                                     << false;
    QTest::newRow("a flood without a line end") << 1 << QByteArray(1 << 20, 'x') << 10000 << 1 << false;
    QTest::newRow("a peer that sends nothing") << 1 << QByteArray() << 200 << 1 << false;
    // Eight may wait; the rest are closed at once.
    QTest::newRow("more peers than may wait") << 20 << QByteArray() << 10000 << 12 << false;
}

void InstanceTest::peersThatAreNotCopies()
{
    QFETCH(int, connections);
    QFETCH(QByteArray, payload);
    QFETCH(int, requestMs);
    QFETCH(int, droppedPeers);
    QFETCH(bool, answered);

    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    HandOverLimits limits;
    limits.request = std::chrono::milliseconds(requestMs);
    InstanceHandOver running(folder, limits);
    QCOMPARE(running.start(1s), Outcome::NoCopy);
    int closeCalls = 0;
    running.serve([&closeCalls] {
        ++closeCalls;
        return true;
    });

    std::vector<int> fds;
    for (int i = 0; i < connections; ++i) {
        const int fd = connectPeer(folder + "/TForm1");
        QVERIFY(fd >= 0);
        fds.push_back(fd);
        sendPayload(fd, payload);
    }
    if (answered) {
        std::string answer;
        QTRY_VERIFY(lineCame(fds.front(), answer));
        QCOMPARE(answer, std::string("closed\n"));
        QCOMPARE(closeCalls, 1);
    } else {
        QTRY_COMPARE(dropped(fds), droppedPeers);
        QCOMPARE(closeCalls, 0);
    }
    for (const int fd : fds)
        ::close(fd);
    if (answered)
        return;

    // A copy's request still gets through.
    InstanceHandOver next(folder);
    QCOMPARE(offTheLoop([&] { return next.start(5s); }), Outcome::Closed);
    QCOMPARE(closeCalls, 1);
}

void InstanceTest::socketFolder_data()
{
    QTest::addColumn<QString>("runtime");
    QTest::addColumn<QString>("fallback");
    QTest::addColumn<QString>("expected");

    QTest::newRow("the runtime folder, ours and owner-only") << "ours"
                                                             << "absent"
                                                             << "runtime";
    QTest::newRow("no runtime folder: one of our own is made") << "unset"
                                                               << "absent"
                                                               << "fallback";
    QTest::newRow("no runtime folder: ours is used again") << "unset"
                                                           << "ours"
                                                           << "fallback";
    QTest::newRow("a runtime folder open to others") << "open"
                                                     << "absent"
                                                     << "fallback";
    QTest::newRow("a runtime folder of another user") << "other"
                                                      << "absent"
                                                      << "fallback";
    QTest::newRow("our folder's name taken by another user") << "unset"
                                                             << "other"
                                                             << "none";
    QTest::newRow("our folder's name open to others") << "unset"
                                                      << "open"
                                                      << "none";
    QTest::newRow("our folder's name a link to an owner-only folder") << "unset"
                                                                      << "link"
                                                                      << "none";
}

void InstanceTest::socketFolder()
{
    QFETCH(QString, runtime);
    QFETCH(QString, fallback);
    QFETCH(QString, expected);
    if ((runtime == "other" || fallback == "other") && ::geteuid() != 0)
        QSKIP("giving a folder to another user needs root");

    QTemporaryDir scratch;
    const std::string runtimeFolder = scratch.filePath("run").toStdString();
    const std::string temp = scratch.filePath("tmp").toStdString();
    const std::string own = temp + "/kven-" + std::to_string(::geteuid());
    QCOMPARE(::mkdir(temp.c_str(), 0755), 0);
    auto make = [](const std::string& path, const QString& how) {
        if (how == "absent" || how == "unset")
            return true;
        if (how == "link") {
            const std::string target = path + "-target";
            return ::mkdir(target.c_str(), 0700) == 0 && ::symlink(target.c_str(), path.c_str()) == 0;
        }
        // chmod: the mode is not left to the umask.
        return ::mkdir(path.c_str(), 0700) == 0 && ::chmod(path.c_str(), how == "open" ? 0755 : 0700) == 0 &&
               (how != "other" || ::chown(path.c_str(), 65534, 65534) == 0);
    };
    QVERIFY(make(runtimeFolder, runtime));
    QVERIFY(make(own, fallback));

    testing::ScopedEnv xdg("XDG_RUNTIME_DIR", runtimeFolder.c_str());
    if (runtime == "unset")
        ::unsetenv("XDG_RUNTIME_DIR");
    testing::ScopedEnv tmp("TMPDIR", temp.c_str());

    const std::optional<std::string> folder = InstanceHandOver::socketFolder();
    if (expected == "none") {
        QVERIFY(!folder);
        return;
    }
    QVERIFY(folder);
    QCOMPARE(*folder, expected == "runtime" ? runtimeFolder : own);
    QVERIFY(ownerOnlyFolder(*folder));
}

QTEST_MAIN(InstanceTest)
#include "instance_test.moc"
