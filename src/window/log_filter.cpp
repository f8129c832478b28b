#include "window/log_filter.h"

namespace zrt::window {

LogFilter::LogFilter(SessionLog& log, QObject* parent) : QSortFilterProxyModel(parent), log_(log) {
  setSourceModel(&log_);
  setDynamicSortFilter(true);
}

void LogFilter::SetText(const QString& text) {
  text_ = text;
  invalidateFilter();
}

bool LogFilter::filterAcceptsRow(int row, const QModelIndex&) const {
  if (text_.isEmpty()) return true;
  const LogEntry entry = log_.At(row);
  if (log_.LineOf(entry).contains(text_, Qt::CaseInsensitive)) return true;
  return entry.kind != LogEntry::Kind::Event &&
         SessionLog::HexOf(entry.bytes).contains(text_, Qt::CaseInsensitive);
}

}  // namespace zrt::window
