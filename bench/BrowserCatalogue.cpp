#include "BrowserCatalogue.h"
#include "core/catalogue/Catalogue.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <sqlite3.h>
#include <stdexcept>

namespace {
// Raised whenever the generated rows or the catalogue's schema change, so
// that no run measures a stale file.
constexpr int Version = 8;

// Appends rows through one prepared statement inside the caller's
// transaction. IDs are a fixed permutation of a counter: spread over the
// whole range as drawn IDs are, and never the same twice.
class RowWriter
{
public:
    explicit RowWriter(sqlite3 *db)
        : m_db(db)
    {
        const char *sql = "INSERT INTO DB (Name, ext, Size, Host, Attr, LAC, ID, PID) VALUES (?, ?, ?, ?, ?, ?, ?, ?)";
        check(sqlite3_prepare_v2(m_db, sql, -1, &m_insert, nullptr));
    }
    ~RowWriter() { sqlite3_finalize(m_insert); }

    qint32 add(const QByteArray &name, const QByteArray &ext, double size, const QByteArray &host, bool folder,
               qint32 pid)
    {
        const qint32 id = nextId();
        // A FILETIME some minutes apart per row, kept as its bytes like a scan does.
        const quint64 filetime = 0x01DB000000000000ull + quint64(m_counter) * 600000000ull;
        double lac;
        std::memcpy(&lac, &filetime, sizeof lac);
        sqlite3_bind_text(m_insert, 1, name.constData(), int(name.size()), SQLITE_STATIC);
        sqlite3_bind_text(m_insert, 2, ext.constData(), int(ext.size()), SQLITE_STATIC);
        sqlite3_bind_double(m_insert, 3, size);
        sqlite3_bind_text(m_insert, 4, host.constData(), int(host.size()), SQLITE_STATIC);
        sqlite3_bind_int(m_insert, 5, folder ? 16 : 128);
        sqlite3_bind_double(m_insert, 6, lac);
        sqlite3_bind_int(m_insert, 7, id);
        sqlite3_bind_int(m_insert, 8, pid);
        const int rc = sqlite3_step(m_insert);
        sqlite3_reset(m_insert);
        if (rc != SQLITE_DONE)
            check(rc);
        return id;
    }

private:
    qint32 nextId()
    {
        for (;;) {
            const qint32 id = qint32((++m_counter * 2654435761u) ^ 0x5bd1e995u);
            if (id != 0)
                return id;
        }
    }
    void check(int rc) const
    {
        if (rc != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(m_db));
    }

    sqlite3 *m_db;
    sqlite3_stmt *m_insert = nullptr;
    quint32 m_counter = 0;
};

struct Shape
{
    QByteArray host;
    int folders;
    int entries;
    std::function<QByteArray(int)> folderName;
    std::function<QByteArray(int, QByteArray &ext)> fileName; // sets the extension
    std::function<double()> fileSize;
};

// Folders in levels of ten per parent, then the files spread over the
// deepest level, as a scan of a regular tree stores them.
void addHost(RowWriter &w, const Shape &s)
{
    QList<qint32> level{0};
    int made = 0;
    while (made < s.folders) {
        QList<qint32> next;
        for (qint32 parent : std::as_const(level))
            for (int i = 0; i < 10 && made < s.folders; ++i, ++made)
                next << w.add(s.folderName(made), "<DIR>", 0, s.host, true, parent);
        level = next;
    }
    // A scan stores each folder's listing in one piece: a folder's files
    // follow one another, as they do in a scanned catalogue.
    QByteArray ext;
    const qint64 files = s.entries - made;
    for (int i = 0; made + i < s.entries; ++i) {
        const QByteArray name = s.fileName(i, ext);
        w.add(name, ext, s.fileSize(), s.host, false, level[qint64(i) * level.size() / files]);
    }
}

QByteArray randomName(QRandomGenerator &r)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray name(4 + r.bounded(11), Qt::Uninitialized);
    for (char &c : name)
        c = letters[r.bounded(62)];
    return name;
}

// File types by falling frequency: more than the statistics' top 15.
QByteArray typeOf(QRandomGenerator &r)
{
    static const char *types[] = {"dat", "txt", "jpg", "zip", "pdf", "mp3", "iso", "gz",  "exe", "doc",
                                  "png", "htm", "c",   "h",   "rar", "avi", "mkv", "tar", "bin", "log",
                                  "xml", "csv", "bz2", "7z",  "img", "deb", "rpm", "iso", "cab", "msi"};
    int i = 0;
    while (i < 29 && r.bounded(4) == 0)
        ++i;
    return types[(i * 7 + r.bounded(2)) % 30];
}

void writeRows(const QString &file, int bigRows)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("generate"));
    db.setDatabaseName(file);
    db.open();
    sqlite3 *handle = *static_cast<sqlite3 *const *>(db.driver()->handle().constData());
    QSqlQuery q(db);
    // A file of the benchmark's own: nothing to keep safe while it is written.
    q.exec(QStringLiteral("PRAGMA page_size=4096"));
    q.exec(QStringLiteral("PRAGMA journal_mode=OFF"));
    q.exec(QStringLiteral("PRAGMA synchronous=OFF"));
    q.exec(QStringLiteral("CREATE TABLE DB (Name VARCHAR(80), ext VARCHAR(5), Size DOUBLE, Host VARCHAR(255), "
                          "Attr INTEGER, LAC DOUBLE, ID INTEGER, PID INTEGER)"));
    q.exec(QStringLiteral("BEGIN"));
    {
        RowWriter w(handle);
        QRandomGenerator r(15);
        const auto dir = [](int i) { return "dir" + QByteArray::number(i); };
        const auto plainFile = [](int i, QByteArray &ext) {
            ext = "dat";
            return "file" + QByteArray::number(i) + ".dat";
        };
        const auto typedFile = [&r](int i, QByteArray &ext) {
            ext = typeOf(r);
            return "file" + QByteArray::number(i) + '.' + ext;
        };
        const auto randomFile = [&r](int, QByteArray &ext) {
            ext.clear();
            return randomName(r);
        };
        // Sizes from a byte to a few gigabytes, small ones the commonest.
        const auto size = [&r] { return std::floor(std::exp(r.generateDouble() * 22.0)); };
        addHost(w, {BrowserCatalogue::BigHost, bigRows / 10, bigRows, [&r](int) { return randomName(r); }, randomFile, size});
        addHost(w, {BrowserCatalogue::TenHost, 10000, 100000, dir, plainFile, size});
        addHost(w, {BrowserCatalogue::HundredHost, 100000, 900000, dir, plainFile, size});
        addHost(w, {BrowserCatalogue::MillionHost, 100000, 1000000, dir, typedFile, size});
        addHost(w, {BrowserCatalogue::FolderHost, 1000000, 1000000, dir, plainFile, size});
    }
    q.exec(QStringLiteral("COMMIT"));
    q = QSqlQuery();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("generate"));
}

// The catalogue's own first open builds every index it keeps.
double buildIndexes(const QString &folder)
{
    QElapsedTimer t;
    t.start();
    Catalogue cat;
    cat.open(folder, [](qint64 done, qint64 total) {
        std::printf("indexing names: %lld of %lld\n", done, total);
        std::fflush(stdout);
        return true;
    });
    return t.nsecsElapsed() / 1e9;
}
} // namespace

QString BrowserCatalogue::prepare(int bigRows, double &indexSeconds)
{
    indexSeconds = -1;
    const QString base = QDir::temp().filePath(QStringLiteral("harvex-bench-browser-%1-v%2").arg(bigRows).arg(Version));
    if (QFileInfo::exists(Catalogue::fileIn(base)))
        return base;
    const QString partial = base + QStringLiteral(".partial");
    QDir(partial).removeRecursively();
    QDir().mkpath(partial);
    QElapsedTimer t;
    t.start();
    writeRows(Catalogue::fileIn(partial), bigRows);
    std::printf("rows written: %.1f s\n", t.nsecsElapsed() / 1e9);
    indexSeconds = buildIndexes(partial);
    std::printf("indexes built on first open: %.1f s\n", indexSeconds);
    std::fflush(stdout);
    if (!QDir().rename(partial, base))
        throw std::runtime_error("cannot keep the generated catalogue");
    return base;
}
