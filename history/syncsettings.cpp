// SPDX-License-Identifier: MIT
#include "history/syncsettings.h"

#include <QSettings>
#include <QUrl>

namespace {

QSettings store() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillary"),
                     QStringLiteral("Quillary"));
}

} // namespace

QString SyncSettings::withoutPassword(const QString& remote) {
    if (!remote.contains(QLatin1String("://")))
        return remote;
    QUrl url(remote);
    if (!url.isValid())
        return remote;
    // Over http a user name alone is often a token.
    if (url.scheme().startsWith(QLatin1String("http"), Qt::CaseInsensitive) &&
        !url.userInfo().isEmpty())
        url.setUserInfo({});
    else if (!url.password().isEmpty())
        url.setPassword({});
    else
        return remote;
    return url.toString();
}

SyncSettings SyncSettings::load() {
    const QSettings settings = store();
    SyncSettings loaded;
    loaded.remote = settings.value(QStringLiteral("Sync/Remote")).toString().trimmed();
    loaded.atStart = settings.value(QStringLiteral("Sync/AtStart"), false).toBool();
    loaded.atQuit = settings.value(QStringLiteral("Sync/AtQuit"), false).toBool();
    // A hand-edited file may say anything; a clock never runs faster than once a minute.
    loaded.everyMinutes =
        std::clamp(settings.value(QStringLiteral("Sync/EveryMinutes"), 0).toInt(), 0, MostMinutes);
    return loaded;
}

bool SyncSettings::save() const {
    QSettings settings = store();
    // A password is never kept in a plain file: the window moves it to the keyring first.
    settings.setValue(QStringLiteral("Sync/Remote"), withoutPassword(remote.trimmed()));
    settings.setValue(QStringLiteral("Sync/AtStart"), atStart);
    settings.setValue(QStringLiteral("Sync/AtQuit"), atQuit);
    settings.setValue(QStringLiteral("Sync/EveryMinutes"), everyMinutes);
    settings.sync();
    return settings.status() == QSettings::NoError;
}
