#pragma once
#include "SearchRequest.h"

#include <QList>
#include <QStringList>
#include <optional>

class IniFile;

// The searches kept in the settings file for both programs: the last ones
// the find dialog ran, most recent first, in [FIND HISTORY], and searches
// saved under a name, in [SAVED SEARCHES].
class SavedSearches
{
public:
    static constexpr int MaxRecent = 20;

    explicit SavedSearches(IniFile &settings);

    QList<SearchRequest> recent() const;
    // request goes on top (once); the oldest past MaxRecent go.
    void remember(const SearchRequest &request);

    // The names in the order they were first saved.
    QStringList names() const;
    std::optional<SearchRequest> saved(const QString &name) const;
    // Replaces a search of that name. False for a name the file cannot keep
    // as a key: empty, or holding "=", "[", "]" or a line end.
    bool save(const QString &name, const SearchRequest &request);
    void remove(const QString &name);
    static bool validName(const QString &name);

private:
    IniFile &m_settings;
};
