// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Where and when this machine syncs its library. Kept in the user's config folder, never in the
// library: each machine names its own remote.
struct SyncSettings {
    QString remote; // empty: sync is off
    bool atStart = false;
    bool atQuit = false;
    int everyMinutes = 0; // 0: never on a clock

    static constexpr int MostMinutes = 24 * 60;

    static SyncSettings load();
    // The remote with a password written into its URL left out (over http, a user name too).
    static QString withoutPassword(const QString& remote);
    // False when the settings could not be written.
    bool save() const;
    bool operator==(const SyncSettings&) const = default;
};
