#include "window/instrument/channel_cells.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include "compose/key_vocabulary.h"
#include "settings/line_reading.h"
#include "settings/read_back.h"
#include "settings/shape_items.h"
#include "window/form/own_texts.h"
#include "window/instrument/setting_text.h"
#include "window/instrument/value_editor.h"

namespace zrt::window {
namespace {

using settings::ChannelQuantity;

// The waveform numbers offered beside the shapes.
constexpr int kWaveformNumbers = 16;

struct Cell {
  const settings::ChannelRow* row = nullptr;
  std::string function;  // "CHA"
  std::string item;      // "AFREQ"; empty: the channel has none
  char channel = 'A';
};

Cell CellAt(int row, int column) {
  const auto rows = settings::ChannelRows();
  if (row < 0 || row >= static_cast<int>(rows.size()) || column < 1 || column > 2) return {};
  const settings::ChannelRow& channelRow = rows[static_cast<std::size_t>(row)];
  const bool a = column == 1;
  return {&channelRow, a ? "CHA" : "CHB", std::string(a ? channelRow.a : channelRow.b),
          a ? 'A' : 'B'};
}

// The item key's unit group, as the key tables give it.
std::optional<std::uint8_t> GroupOf(const Cell& cell) {
  const auto reading = settings::ReadLine(cell.function + ":" + cell.item + "?");
  const compose::KeyEntry* key = reading ? compose::FindKey(reading->itemCode) : nullptr;
  if (!key || key->unitGroup == compose::kNoUnitGroup) return std::nullopt;
  return key->unitGroup;
}

QString AccessibleName(const Cell& cell, Language language) {
  return TextIn(cell.channel == 'A' ? OwnText::ViewChannelA : OwnText::ViewChannelB, language) +
         " " + TextIn(QuantityName(cell.row->quantity), language);
}

bool TakesNumber(ChannelQuantity quantity) {
  return quantity != ChannelQuantity::Waveform && quantity != ChannelQuantity::Output;
}

// Makes the value editor for a cell; Esc first brings the value back, then
// closes the editor as a delegate does.
class ValueDelegate : public QStyledItemDelegate {
 public:
  using Maker = std::function<QWidget*(QWidget*, const QModelIndex&)>;
  ValueDelegate(Maker make, QObject* parent)
      : QStyledItemDelegate(parent), make_(std::move(make)) {}
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                        const QModelIndex& index) const override {
    return make_(parent, index);
  }
  void setEditorData(QWidget*, const QModelIndex&) const override {}  // the editor keeps its own
  void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      if (auto* editor = qobject_cast<ValueEditor*>(object)) editor->Restore();
    }
    return QStyledItemDelegate::eventFilter(object, event);
  }

 private:
  Maker make_;
};

// Enter on a row edits its cell, as F2 does.
class EnterEdits : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    auto* table = qobject_cast<QTableWidget*>(object);
    if (table && event->type() == QEvent::KeyPress) {  // an open editor takes its own
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        table->edit(table->currentIndex());
        return true;
      }
    }
    return false;
  }
};

}  // namespace

ChannelCells::ChannelCells(QTableWidget& table, QObject* parent) : QObject(parent), table_(table) {
  table_.setItemDelegate(new ValueDelegate(
      [this](QWidget* parent, const QModelIndex& index) {
        return MakeEditor(parent, index.row(), index.column());
      },
      &table_));
  table_.setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  table_.installEventFilter(new EnterEdits(&table_));
}

QWidget* ChannelCells::MakeEditor(QWidget* parent, int row, int column) {
  const Cell cell = CellAt(row, column);
  if (!cell.row || cell.item.empty() || !TakesNumber(cell.row->quantity)) return nullptr;
  const auto group = GroupOf(cell);
  if (!group) return nullptr;
  auto* editor = new ValueEditor(*group, cell.row->quantity == ChannelQuantity::Offset, parent);
  editor->setAccessibleName(AccessibleName(cell, language_));
  const std::string prefix = cell.function + ":" + cell.item;
  editor->SetGuard([this, prefix](std::string_view number, std::string_view unit) {
    return guard_ ? guard_(prefix + std::string(number) + std::string(unit)) : std::nullopt;
  });
  const settings::Setting* known = known_ ? known_->Find(cell.function, cell.item) : nullptr;
  const settings::Value* value = known ? known->Current() : nullptr;
  editor->StartFrom(value ? std::optional(value->number) : std::nullopt,
                    value ? std::string_view(value->unit) : std::string_view());
  connect(editor, &ValueEditor::Committed, this, [this, editor, prefix] {
    emit SettingChosen(QString::fromStdString(prefix),
                       QString::fromStdString(prefix) + editor->Number() + editor->Unit());
  });
  connect(editor, &ValueEditor::LimitReached, this, &ChannelCells::LimitNoted);
  return editor;
}

void ChannelCells::MakeSwitchesAndChoices() {
  for (int row = 0; row < static_cast<int>(settings::ChannelRows().size()); ++row) {
    for (int column = 1; column <= 2; ++column) {
      const Cell cell = CellAt(row, column);
      if (cell.item.empty() || table_.cellWidget(row, column)) continue;
      const QString item = QString::fromStdString(cell.function + ":" + cell.item);
      if (cell.row->quantity == ChannelQuantity::Output) {
        auto* box = new QCheckBox(&table_);
        box->setObjectName(QString("Output") + cell.channel);
        connect(box, &QCheckBox::toggled, this,
                [this, item](bool on) { emit SettingChosen(item, item + (on ? "1No." : "0No.")); });
        table_.setCellWidget(row, column, box);
      } else if (cell.row->quantity == ChannelQuantity::Waveform) {
        auto* choice = new QComboBox(&table_);
        choice->setObjectName(QString("Waveform") + cell.channel);
        for (const settings::ShapeItem& shape : settings::kShapeItems) {
          if (shape.channel != cell.channel) continue;
          const QString mnemonic = QString::fromLatin1(
              shape.mnemonic.data(), static_cast<qsizetype>(shape.mnemonic.size()));
          choice->addItem(mnemonic, QString::fromStdString(cell.function) + ":" + mnemonic);
        }
        for (int number = 0; number < kWaveformNumbers; ++number) {
          choice->addItem(QString("No. %1").arg(number), item + QString("%1No.").arg(number));
        }
        connect(choice, &QComboBox::activated, this, [this, choice, item](int index) {
          emit SettingChosen(item, choice->itemData(index).toString());
        });
        table_.setCellWidget(row, column, choice);
      }
    }
  }
}

void ChannelCells::Show(const settings::InstrumentSettings& known, Language language) {
  known_ = &known;
  language_ = language;
  MakeSwitchesAndChoices();
  for (int row = 0; row < static_cast<int>(settings::ChannelRows().size()); ++row) {
    for (int column = 1; column <= 2; ++column) {
      const Cell cell = CellAt(row, column);
      QWidget* widget = table_.cellWidget(row, column);
      if (!widget) continue;
      widget->setAccessibleName(AccessibleName(cell, language));
      const bool wave = cell.row->quantity == ChannelQuantity::Waveform;
      const settings::Setting* setting = wave ? ChannelWaveform(known, cell.function, cell.item)
                                              : known.Find(cell.function, cell.item);
      const settings::Value* value = setting ? setting->Current() : nullptr;
      widget->setToolTip(SettingText(setting, language));
      const QSignalBlocker quiet(widget);
      if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        box->setChecked(value && value->number == 1);
        box->setText(SettingText(setting, language));
      } else if (auto* choice = qobject_cast<QComboBox*>(widget)) {
        QString wanted;
        if (value && setting->item == settings::kShapeItem) {
          wanted = QString::fromStdString(cell.function + ":" + value->text);
        } else if (value) {
          wanted = QString::fromStdString(cell.function + ":" + cell.item) +
                   QString("%1No.").arg(static_cast<int>(value->number));
        }
        choice->setCurrentIndex(wanted.isEmpty() ? -1 : choice->findData(wanted));
      }
    }
  }
}

}  // namespace zrt::window
