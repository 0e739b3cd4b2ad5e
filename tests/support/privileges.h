// SPDX-License-Identifier: MIT
#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// Tests run as root, and root ignores permission bits. While one of these lives, this process
// loses the capabilities that bypass them, so a folder without read or write permission really
// fails. They come back when it goes.
class PermissionBitsEnforced {
public:
    PermissionBitsEnforced() {
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        m_header.pid = 0;
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        const unsigned bypass =
            (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);
        reduced[0].effective &= ~bypass;
        m_active = syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~PermissionBitsEnforced() {
        if (m_active)
            syscall(SYS_capset, &m_header, m_saved);
    }
    PermissionBitsEnforced(const PermissionBitsEnforced&) = delete;
    PermissionBitsEnforced& operator=(const PermissionBitsEnforced&) = delete;

    bool active() const { return m_active; }

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_active = false;
};
