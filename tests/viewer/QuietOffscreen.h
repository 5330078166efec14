// The display-less platform says on every window that it cannot pass size
// hints on; the window tests silence that line and let everything else through.
#pragma once

#include <QLatin1String>
#include <QString>
#include <QtGlobal>

inline void SilenceSizeHintWarnings()
{
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (text.contains(QLatin1String("does not support propagateSizeHints"))) return;
        previous(type, context, text);
    });
}
