// Placeholder until the list models are written.
#include "output/qt_listmodels.h"

struct ResultsModel::Impl {};
ResultsModel::ResultsModel(QObject* parent) : QAbstractTableModel(parent), d(new Impl) {}
ResultsModel::~ResultsModel() { delete d; }
void ResultsModel::appendRow(std::string_view, std::uint64_t, std::string_view, std::string_view) {}
void ResultsModel::flush() {}
void ResultsModel::clear() {}
QString ResultsModel::text(int, int) const { return {}; }
int ResultsModel::rowCount(const QModelIndex&) const { return 0; }
int ResultsModel::columnCount(const QModelIndex&) const { return 4; }
QVariant ResultsModel::data(const QModelIndex&, int) const { return {}; }
QVariant ResultsModel::headerData(int, Qt::Orientation, int) const { return {}; }

struct ErrorsModel::Impl {};
ErrorsModel::ErrorsModel(QObject* parent) : QAbstractTableModel(parent), d(new Impl) {}
ErrorsModel::~ErrorsModel() { delete d; }
void ErrorsModel::appendRow(std::string_view, std::uint64_t, std::string_view) {}
void ErrorsModel::flush() {}
QString ErrorsModel::text(int, int) const { return {}; }
int ErrorsModel::rowCount(const QModelIndex&) const { return 0; }
int ErrorsModel::columnCount(const QModelIndex&) const { return 3; }
QVariant ErrorsModel::data(const QModelIndex&, int) const { return {}; }
QVariant ErrorsModel::headerData(int, Qt::Orientation, int) const { return {}; }
