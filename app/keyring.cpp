// SPDX-License-Identifier: MIT
#include "app/keyring.h"

#include <QUrl>
#include <qt6keychain/keychain.h>

namespace {

const QString Service = QStringLiteral("Quillary");

} // namespace

QString Keyring::keyOf(const QString& remote) {
    QUrl url(remote);
    if (!url.isValid() || url.scheme().isEmpty())
        return QStringLiteral("sync ") + remote;
    url.setUserInfo({});
    return QStringLiteral("sync ") + url.toString(QUrl::StripTrailingSlash);
}

void DesktopKeyring::read(const QString& remote,
                          std::function<void(std::optional<LibrarySync::Login>)> done) {
    auto* job = new QKeychain::ReadPasswordJob(Service);
    job->setKey(keyOf(remote));
    job->setAutoDelete(true);
    QObject::connect(job, &QKeychain::Job::finished, [done = std::move(done)](QKeychain::Job* j) {
        const QString kept = static_cast<QKeychain::ReadPasswordJob*>(j)->textData();
        // No keyring, or nothing kept: the user is asked, as on the first sync.
        if (j->error() != QKeychain::NoError || !kept.contains(QLatin1Char('\n'))) {
            done(std::nullopt);
            return;
        }
        done(LibrarySync::Login{kept.section(QLatin1Char('\n'), 0, 0),
                                kept.section(QLatin1Char('\n'), 1)});
    });
    job->start();
}

void DesktopKeyring::write(const QString& remote, const LibrarySync::Login& login,
                           std::function<void(const QString&)> done) {
    auto* job = new QKeychain::WritePasswordJob(Service);
    job->setKey(keyOf(remote));
    job->setAutoDelete(true);
    job->setInsecureFallback(false); // a login is never written into a plain file
    job->setTextData(login.user + QLatin1Char('\n') + login.secret);
    QObject::connect(job, &QKeychain::Job::finished, [done = std::move(done)](QKeychain::Job* j) {
        done(j->error() == QKeychain::NoError ? QString() : j->errorString());
    });
    job->start();
}
