#include "window/WindowRig.h"

#include <QFile>

namespace kven::testing {

std::string settingsFile(const std::string& extraUtf8)
{
    return extraUtf8 + "[Aozora]=-1\r\n[AA]=-1\r\n[Repeat]=-1\r\n[Silent]=4\r\n[Space]=9\r\n[X]=-1000\r\n"
                       "[Y]=-1000\r\n[Head]=-1\r\n[Talk]=0\r\n、。\r\n[Skip]=0\r\n広告\r\n";
}

WindowRig::WindowRig(const std::string& settingsUtf8, bool withBookmarkFile)
{
    qputenv("KVEN_HOME", home.path().toUtf8());
    // A confirmation the test did not answer is cancelled.
    dialogs.answer = false;
    writeDocument("KVEN.ini", settingsUtf8);
    if (withBookmarkFile)
        writeDocument("KVEN.txt", "");
    engine.setVoices({u"Alpha", u"Beta", u"Gamma"});
}

MainWindow& WindowRig::create(std::vector<std::string> args)
{
    form = std::make_unique<MainWindow>(engine, dialogs, clipboard, waiter, std::move(args));
    return *form;
}

WindowRig::~WindowRig()
{
    form.reset();
    qunsetenv("KVEN_HOME");
}

std::string WindowRig::path(const std::string& name) const
{
    return home.filePath(QString::fromStdString(name)).toStdString();
}

std::string WindowRig::writeDocument(const std::string& name, const std::string& utf8) const
{
    QFile file(QString::fromStdString(path(name)));
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", path(name).c_str());
    file.write(QByteArray::fromStdString(cp932::fromUtf8(utf8)));
    return path(name);
}

std::string WindowRig::readFile(const std::string& name) const
{
    QFile file(QString::fromStdString(path(name)));
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return cp932::toUtf8(file.readAll().toStdString());
}

void WindowRig::finishUtterances()
{
    engine.finishSpeaking();
    deliver();
}

void WindowRig::deliver()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

std::vector<std::string> WindowRig::said() const
{
    std::vector<std::string> out;
    for (const std::string& s : engine.spoken)
        out.push_back(cp932::toUtf8(s));
    return out;
}

} // namespace kven::testing
