#pragma once
#include <QString>
#include <stdexcept>

// An error of the catalogue's database (disk full, locked file, bad SQL) or a
// broken parent link. Callers show what() to the user; nothing is retried.
class CatalogueError : public std::runtime_error
{
public:
    explicit CatalogueError(const QString &message)
        : std::runtime_error(message.toStdString())
    {
    }
    QString message() const { return QString::fromStdString(what()); }
};
