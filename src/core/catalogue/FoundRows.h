#pragma once
#include "DataSet.h"
#include "FolderPaths.h"
#include "SearchTerms.h"

#include <memory>

class PathSearch;

// A find's rows as the browser's grid shows them: every column of table DB,
// then Path, each row's whole path with the names as listed, looked up
// through the folder path cache only for the rows the grid reads. The rows
// are the core search's (PathSearch), paged as any data set is.
class FoundRows : public DataSet
{
    Q_OBJECT
public:
    explicit FoundRows(const QString &connectionName, QObject *parent = nullptr);
    ~FoundRows() override;

    // The host's code page for names that are not UTF-8.
    void setCodePageOf(FolderPaths::CodePageOf codePageOf) { m_codePageOf = std::move(codePageOf); }
    // The statement of the terms, below under ("host/a/b"; empty:
    // anywhere), set to be opened. Throws CatalogueError for terms the
    // search refuses.
    void search(const SearchTerms &terms, const QString &under);
    SearchTerms terms() const { return m_terms; }
    QString under() const { return m_under; }
    int pathColumn() const { return columnCount() - 1; }

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Paths are made from the listed bytes, not stored: their column keeps
    // the grid's order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

signals:
    // A path could not be read; its cell shows none. Told once a search.
    void readFailed(const QString &why) const;

private:
    QString path(int row) const;

    QString m_connection;
    FolderPaths::CodePageOf m_codePageOf;
    SearchTerms m_terms;
    QString m_under;
    // Made at each search, over the catalogue then open; it keeps the folder
    // paths it finds, which is why painting a screen costs few lookups.
    std::unique_ptr<PathSearch> m_paths;
    mutable bool m_failed = false;
};
