#pragma once
// The window's language and its own marks: captions are written in English in the code (the
// source text, which a C or English locale shows) and translated through Qt's translation
// system from the catalogue built into the program; the icon and the About text.

#include <QIcon>
#include <QLocale>
#include <QString>
#include <QTranslator>

#include <memory>

namespace kven {

// The context every caption of the window is translated in.
inline constexpr const char* kInterfaceContext = "KVEN";

// The version the window shows beside its buttons and the About box names.
inline constexpr const char* kVersionCaption = "KVEN ver4V";

// `source`, a caption of the window, in the interface language installed.
QString interfaceText(const char* source);

// The window's catalogue for `locale`, or nothing when the program has none for its language
// (English captions stay). Installed before the window is made, which reads its captions once.
std::unique_ptr<QTranslator> interfaceTranslator(const QLocale& locale);

// The program's icon, an SVG built into the program.
QIcon programIcon();

// Help > About: the version and the licences of the voices and of the dictionaries read.
QString aboutText();

} // namespace kven
