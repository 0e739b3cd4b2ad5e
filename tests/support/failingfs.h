#pragma once

#include "libraryfs.h"

#include <QHash>

// The real file system, except that a chosen primitive fails on its Nth call (counting from 1)
// with a chosen reason. Every call of each primitive is counted.
class FailingFs : public LibraryFs {
public:
    using LibraryFs::LibraryFs;

    void failOn(const QString& primitive, int nthCall, const QString& reason) {
        m_failPrimitive = primitive;
        m_failCall = nthCall;
        m_reason = reason;
    }
    int calls(const QString& primitive) const { return m_calls.value(primitive); }

    Create createFolder(const QString& path) override {
        if (shouldFail(QStringLiteral("createFolder")))
            return {CreateOutcome::Failed, Result::failure(path, m_reason)};
        return LibraryFs::createFolder(path);
    }
    Listing listFolders(const QString& path) override {
        if (shouldFail(QStringLiteral("listFolders")))
            return {Result::failure(path, m_reason), {}};
        return LibraryFs::listFolders(path);
    }
    Listing listFiles(const QString& path) override {
        if (shouldFail(QStringLiteral("listFiles")))
            return {Result::failure(path, m_reason), {}};
        return LibraryFs::listFiles(path);
    }
    Read readFile(const QString& path) override {
        if (shouldFail(QStringLiteral("readFile")))
            return {Result::failure(path, m_reason), {}};
        return LibraryFs::readFile(path);
    }
    Result writeFileAtomically(const QString& path, const QByteArray& bytes) override {
        if (shouldFail(QStringLiteral("writeFileAtomically")))
            return Result::failure(path, m_reason);
        return LibraryFs::writeFileAtomically(path, bytes);
    }
    Result removeFile(const QString& path) override {
        if (shouldFail(QStringLiteral("removeFile")))
            return Result::failure(path, m_reason);
        return LibraryFs::removeFile(path);
    }
    Result removeEmptyFolder(const QString& path) override {
        if (shouldFail(QStringLiteral("removeEmptyFolder")))
            return Result::failure(path, m_reason);
        return LibraryFs::removeEmptyFolder(path);
    }

private:
    bool shouldFail(const QString& primitive) {
        const int n = ++m_calls[primitive];
        return primitive == m_failPrimitive && n == m_failCall;
    }

    QHash<QString, int> m_calls;
    QString m_failPrimitive;
    int m_failCall = 0;
    QString m_reason;
};
