#pragma once
#include <QString>

class Catalogue;

// The hosts this process has taken for its rescan of a shared catalogue:
// several rescans on one database, on one machine or several, share the due
// hosts, each host taken by one of them. A claim is a session lock of
// PostgreSQL on the process's own connection, so it ends with the process,
// however that ends; on SQLite, which one machine writes, every claim holds.
class RescanClaims
{
public:
    explicit RescanClaims(Catalogue &catalogue) : m_catalogue(catalogue) {}
    // False when another process holds the host. Throws CatalogueError.
    bool claim(const QString &host);

private:
    Catalogue &m_catalogue;
};
