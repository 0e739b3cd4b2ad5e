// SPDX-License-Identifier: MIT
#pragma once

#include "library/libraryfs.h"

#include <array>

// The real file system, except that a chosen primitive fails on its Nth call (counting from 1)
// with a chosen reason. Every call of each primitive is counted.
class FailingFs : public LibraryFs {
public:
    using LibraryFs::LibraryFs;

    enum class Primitive {
        CreateFolder,
        ListFolders,
        ListFiles,
        ReadFile,
        WriteFileAtomically,
        RemoveFile,
        RemoveEmptyFolder,
        Count
    };

    void failOn(Primitive primitive, int nthCall, const QString& reason) {
        m_failPrimitive = primitive;
        m_failCall = nthCall;
        m_reason = reason;
    }
    int calls(Primitive primitive) const { return m_calls[std::size_t(primitive)]; }

    Create createFolder(const QString& path) override {
        if (shouldFail(Primitive::CreateFolder))
            return {CreateOutcome::Failed, Result::failure(path, m_reason)};
        return LibraryFs::createFolder(path);
    }
    Listing listFolders(const QString& path) override {
        if (shouldFail(Primitive::ListFolders))
            return {Result::failure(path, m_reason), {}};
        return LibraryFs::listFolders(path);
    }
    Listing listFiles(const QString& path) override {
        if (shouldFail(Primitive::ListFiles))
            return {Result::failure(path, m_reason), {}};
        return LibraryFs::listFiles(path);
    }
    Read readFile(const QString& path, qint64 limit = NoLimit,
                  const std::atomic<bool>* cancel = nullptr) override {
        if (shouldFail(Primitive::ReadFile))
            return {Result::failure(path, m_reason), {}, {}};
        return LibraryFs::readFile(path, limit, cancel);
    }
    Result writeFileAtomically(const QString& path, const QByteArray& bytes) override {
        if (shouldFail(Primitive::WriteFileAtomically))
            return Result::failure(path, m_reason);
        return LibraryFs::writeFileAtomically(path, bytes);
    }
    Result removeFile(const QString& path) override {
        if (shouldFail(Primitive::RemoveFile))
            return Result::failure(path, m_reason);
        return LibraryFs::removeFile(path);
    }
    Result removeEmptyFolder(const QString& path) override {
        if (shouldFail(Primitive::RemoveEmptyFolder))
            return Result::failure(path, m_reason);
        return LibraryFs::removeEmptyFolder(path);
    }

private:
    bool shouldFail(Primitive primitive) {
        const int n = ++m_calls[std::size_t(primitive)];
        return primitive == m_failPrimitive && n == m_failCall;
    }

    std::array<int, std::size_t(Primitive::Count)> m_calls{};
    Primitive m_failPrimitive = Primitive::Count;
    int m_failCall = 0;
    QString m_reason;
};
