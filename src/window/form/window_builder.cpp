#include "window/form/window_builder.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <limits>

#include "compose/key_vocabulary.h"
#include "window/form/artwork.h"
#include "window/form/caption_table.h"
#include "window/form/deferred_memo.h"
#include "window/form/focus_order_button.h"
#include "window/form/fonts.h"
#include "window/form/image_view.h"
#include "window/form/layout_table.h"
#include "window/form/popup_combo_box.h"
#include "window/form/radio_group.h"

namespace zrt::window {
namespace {

QString Text(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// The captions the window starts with: the English table over the design
// captions. Controls are made with them, so that no Chinese design caption is
// laid out (tab bars measure theirs at once) only to be replaced at start-up.
QHash<QString, QString> StartCaptions() {
  QHash<QString, QString> captions;
  for (const CaptionRow& row : CaptionTable()) {
    if (const char* caption = CaptionFor(row, Language::English, false)) {
      captions.insert(Text(row.control), QString::fromUtf8(caption));
    }
  }
  return captions;
}

QStringList Items(const ControlSpec& spec) {
  QStringList items;
  for (std::string_view item : spec.items) items << Text(item);
  return items;
}

QWidget* MakeStatusBar(const ControlSpec& spec, QWidget* parent) {
  auto* bar = new QStatusBar(parent);
  bar->setSizeGripEnabled(false);
  for (std::size_t i = 0; i < spec.items.size(); ++i) {
    auto* panel = new QLabel(Text(spec.items[i]), bar);
    panel->setFixedWidth(kStatusPanelWidth);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addWidget(panel);
  }
  return bar;
}

bool Captioned(ControlKind kind) {
  switch (kind) {
    case ControlKind::GroupBox:
    case ControlKind::Page:
    case ControlKind::PushButton:
    case ControlKind::Label:
    case ControlKind::RadioGroup:
      return true;
    default:
      return false;
  }
}

QWidget* MakeControl(const ControlSpec& spec, const QString& caption, QWidget* parent) {
  switch (spec.kind) {
    case ControlKind::GroupBox:
      return new QGroupBox(caption, parent);
    case ControlKind::PageControlTop:
    case ControlKind::PageControlLeft: {
      auto* tabs = new QTabWidget(parent);
      if (spec.kind == ControlKind::PageControlLeft) {
        tabs->setTabPosition(QTabWidget::West);
        // Without the pane's frame the page is wide enough for the panel's
        // 75-pixel buttons beside the vertical tab.
        tabs->setDocumentMode(true);
      }
      return tabs;
    }
    case ControlKind::Page: {
      auto* page = new QWidget;
      qobject_cast<QTabWidget*>(parent)->addTab(page, caption);
      return page;
    }
    case ControlKind::PushButton:
      return new QPushButton(caption, parent);
    case ControlKind::Label:
      return new QLabel(caption, parent);
    case ControlKind::Edit: {
      auto* edit = new QLineEdit(caption, parent);
      // A command or reply is never cut short by the edit.
      edit->setMaxLength(std::numeric_limits<int>::max());
      return edit;
    }
    case ControlKind::Memo:
      return new DeferredMemo(Items(spec).join('\n'), parent);
    case ControlKind::Image: {
      auto* image = new ImageView(parent);
      image->SetPixmap(CheckMarkBitmap());
      image->setEnabled(false);
      return image;
    }
    case ControlKind::RadioGroup: {
      auto* group = new RadioGroup(Items(spec), parent);
      group->setTitle(caption);
      group->SetItemIndex(0);
      return group;
    }
    case ControlKind::ComboBox: {
      auto* combo = new PopupComboBox(parent);
      combo->addItems(Items(spec));
      combo->setEditText(caption);
      return combo;
    }
    case ControlKind::StatusBar:
      return MakeStatusBar(spec, parent);
  }
  return nullptr;
}

void PlaceKeys(const PanelGrid& panel, QWidget* container,
               const QHash<QString, QString>& startCaptions, BuiltControls& built) {
  auto place = [&](int code) {
    for (std::size_t cell = 0; cell < panel.cells.size(); ++cell) {
      if (panel.cells[cell] != code) continue;
      const compose::KeyEntry* key = compose::FindKey(code);
      const int column = static_cast<int>(cell) % panel.columns;
      const int row = static_cast<int>(cell) / panel.columns;
      const QString name = Text(key->button);
      auto* button =
          new FocusOrderButton(startCaptions.value(name, Text(key->designCaption)), container);
      button->setObjectName(name);
      button->setGeometry(panel.left + panel.stepX * column, panel.top + panel.stepY * row,
                          panel.buttonWidth, panel.buttonHeight);
      built.byName.insert(button->objectName(), button);
      built.keys.push_back({code, button});
      built.keyClicks->addButton(button, code);
      return;
    }
  };
  if (panel.focusOrder.empty()) {
    for (int code : panel.cells) {
      if (code != kNoKey) place(code);
    }
  } else {
    for (int code : panel.focusOrder) place(code);
  }
}

}  // namespace

BuiltControls BuildControls(QWidget* window) {
  BuiltControls built;
  built.keyClicks = new QButtonGroup(window);
  built.keyClicks->setExclusive(false);
  window->setFont(FontFor(FontRole::Window));
  const QHash<QString, QString> startCaptions = StartCaptions();
  for (const ControlSpec& spec : WindowControls()) {
    QWidget* parent = spec.parent.empty() ? window : built.byName.value(Text(spec.parent));
    const QString name = Text(spec.name);
    const QString design = Text(spec.caption);
    QWidget* control = MakeControl(
        spec, Captioned(spec.kind) ? startCaptions.value(name, design) : design, parent);
    control->setObjectName(name);
    if (spec.kind != ControlKind::Page) {
      control->setGeometry(spec.left, spec.top, spec.width, spec.height);
    }
    if (spec.font != FontRole::Window) control->setFont(FontFor(spec.font));
    built.byName.insert(control->objectName(), control);

    // Keys go in right after their container, so the focus chain follows the panels.
    for (const PanelGrid& panel : KeyPanels()) {
      if (panel.container == spec.name) PlaceKeys(panel, control, startCaptions, built);
    }
  }
  for (std::string_view page : kPagesInFront) {
    QWidget* front = built.byName.value(Text(page));
    qobject_cast<QTabWidget*>(front->parentWidget()->parentWidget())->setCurrentWidget(front);
  }
  return built;
}

}  // namespace zrt::window
