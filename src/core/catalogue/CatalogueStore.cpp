#include "CatalogueStore.h"

CatalogueStore::~CatalogueStore()
{
    if (!m_db.isValid())
        return;
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
}
