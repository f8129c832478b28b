#include "window/log/log_filter.h"

namespace zrt::window {

LogFilter::LogFilter(SessionLog& log, QObject* parent) : QSortFilterProxyModel(parent), log_(log) {
  setDynamicSortFilter(true);
}

void LogFilter::SetText(const QString& text) {
  text_ = text;
  // Attached only while it filters: a proxy keeps a map of every row,
  // which would cost each entry added to a long log.
  if (text_.isEmpty()) return setSourceModel(nullptr);
  if (!sourceModel()) return setSourceModel(&log_);
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
