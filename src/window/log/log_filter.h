// The session log's entries that contain a text, in the view's text or in
// hex, letter case ignored: what the log's filter field shows. It follows
// the log only while it has a text.
#pragma once

#include <QSortFilterProxyModel>

#include "window/log/session_log.h"

namespace zrt::window {

class LogFilter : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  explicit LogFilter(SessionLog& log, QObject* parent = nullptr);
  void SetText(const QString& text);
  const QString& Text() const { return text_; }

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override;

 private:
  SessionLog& log_;
  QString text_;
};

}  // namespace zrt::window
