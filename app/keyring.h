// SPDX-License-Identifier: MIT
#pragma once

#include "history/sync.h"

#include <QString>
#include <functional>
#include <optional>

// Logins for https remotes, kept in the desktop's keyring, never in a plain file. Answers come
// later, on the window's thread; tests give the window a keyring of their own.
class Keyring {
public:
    virtual ~Keyring() = default;
    virtual void read(const QString& remote,
                      std::function<void(std::optional<LibrarySync::Login>)> done) = 0;
    // `done` gets an empty text when the login was kept, otherwise why it was not.
    virtual void write(const QString& remote, const LibrarySync::Login& login,
                       std::function<void(const QString& failure)> done) = 0;

    // The keyring's entry for a remote: the same for every user name and password in its URL.
    static QString keyOf(const QString& remote);
};

// The desktop's Secret Service or KWallet, through QtKeychain.
class DesktopKeyring : public Keyring {
public:
    void read(const QString& remote,
              std::function<void(std::optional<LibrarySync::Login>)> done) override;
    void write(const QString& remote, const LibrarySync::Login& login,
               std::function<void(const QString& failure)> done) override;
};
