#include "SqliteNameFold.h"
#include "CatalogueError.h"
#include "NameFold.h"

#include <QByteArray>
#include <sqlite3.h>

namespace {
// The folded text is built in the connection's own buffer and copied out by
// SQLite into the result it reuses row after row: folding an ASCII name
// allocates nothing.
void foldValue(sqlite3_context *context, int, sqlite3_value **values)
{
    if (sqlite3_value_type(values[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(values[0]));
    if (!text) {
        sqlite3_result_error_nomem(context);
        return;
    }
    auto *buffer = static_cast<QByteArray *>(sqlite3_user_data(context));
    NameFold::foldUtf8(QByteArrayView(text, sqlite3_value_bytes(values[0])), *buffer);
    sqlite3_result_text(context, buffer->constData(), int(buffer->size()), SQLITE_TRANSIENT);
}

void dropBuffer(void *buffer)
{
    delete static_cast<QByteArray *>(buffer);
}
} // namespace

void SqliteNameFold::install(sqlite3 *db)
{
    // Innocuous: the schema's triggers call it, and no harm can come of it.
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    const int rc = sqlite3_create_function_v2(db, Function, 1, flags, new QByteArray, foldValue, nullptr, nullptr,
                                              dropBuffer);
    if (rc != SQLITE_OK)
        throw CatalogueError(QString::fromUtf8(sqlite3_errmsg(db)));
}
