#include "window/InterfaceText.h"

#include <QCoreApplication>

// The resources of a static library are registered by a call that names them.
static void registerInterfaceResources()
{
    Q_INIT_RESOURCE(kven_interface);
}

namespace kven {

QString interfaceText(const char* source)
{
    return QCoreApplication::translate(kInterfaceContext, source);
}

std::unique_ptr<QTranslator> interfaceTranslator(const QLocale& locale)
{
    registerInterfaceResources();
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, QStringLiteral("kven"), QStringLiteral("_"), QStringLiteral(":/i18n")))
        return nullptr;
    return translator;
}

QIcon programIcon()
{
    registerInterfaceResources();
    return QIcon(QStringLiteral(":/icons/kven.svg"));
}

QString aboutText()
{
    return interfaceText(QT_TRANSLATE_NOOP(
                             "KVEN",
                             "%1 (version %2)\n"
                             "Reads Japanese text aloud.\n\n"
                             "Voices: \"mei\" (from the MMDAgent project) and \"nitech m001\" (HTS voice "
                             "nitech_jp_atr503_m001), Copyright © 2003–2013 Nagoya Institute of Technology, "
                             "Department of Computer Science; under the Creative Commons Attribution 3.0 licence "
                             "(CC BY 3.0).\n\n"
                             "Japanese dictionary: naist-jdic of Open JTalk, Copyright © 2009 Nara Institute of "
                             "Science and Technology and © 2008–2013 Nagoya Institute of Technology; under the "
                             "3-clause BSD licence.\n"
                             "English pronunciations: the CMU Pronouncing Dictionary as packaged in festlex-cmu, "
                             "Copyright © 1996–1997 Centre for Speech Technology Research, University of Edinburgh; "
                             "free to use and distribute without restriction."))
        .arg(QString::fromLatin1(kVersionCaption), QStringLiteral(KVEN_VERSION));
}

} // namespace kven
