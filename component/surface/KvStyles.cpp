#include "KvStyles.h"

#include "KvWindow.h"

#include <QGuiApplication>
#include <QPalette>

namespace {

// Windows system colour indices and the palette role that plays the same part here.
QColor SystemColor(unsigned index) {
  const QPalette pal = QGuiApplication::palette();
  switch (index) {
  case 0:
    return pal.color(QPalette::Button); // scroll bar
  case 1:
    return pal.color(QPalette::Dark); // desktop
  case 2:
    return pal.color(QPalette::Highlight); // active caption
  case 3:
    return pal.color(QPalette::Window); // inactive caption
  case 4:
    return pal.color(QPalette::Window); // menu
  case 5:
    return pal.color(QPalette::Base); // window
  case 6:
    return pal.color(QPalette::Shadow); // window frame
  case 7:
    return pal.color(QPalette::WindowText); // menu text
  case 8:
    return pal.color(QPalette::Text); // window text
  case 9:
    return pal.color(QPalette::HighlightedText); // caption text
  case 10:
    return pal.color(QPalette::Window); // active border
  case 11:
    return pal.color(QPalette::Window); // inactive border
  case 12:
    return pal.color(QPalette::Mid); // application workspace
  case 13:
    return pal.color(QPalette::Highlight);
  case 14:
    return pal.color(QPalette::HighlightedText);
  case 15:
    return pal.color(QPalette::Button); // button face
  case 16:
    return pal.color(QPalette::Mid); // button shadow
  case 17:
    return pal.color(QPalette::Disabled, QPalette::Text); // grey text
  case 18:
    return pal.color(QPalette::ButtonText);
  case 19:
    return pal.color(QPalette::Disabled, QPalette::WindowText); // inactive caption text
  case 20:
    return pal.color(QPalette::Light); // button highlight
  case 21:
    return pal.color(QPalette::Shadow); // 3-D dark shadow
  case 22:
    return pal.color(QPalette::Midlight); // 3-D light
  case 23:
    return pal.color(QPalette::ToolTipText); // info text
  case 24:
    return pal.color(QPalette::ToolTipBase); // info background
  case 26:
    return pal.color(QPalette::Link); // hot-tracked item
  case 27:
    return pal.color(QPalette::Highlight); // gradient active caption
  case 28:
    return pal.color(QPalette::Window); // gradient inactive caption
  case 29:
    return pal.color(QPalette::Highlight); // menu highlight
  case 30:
    return pal.color(QPalette::Window); // menu bar
  default:
    return pal.color(QPalette::Window);
  }
}

} // namespace

QColor KvColor(TColor color) {
  if ((color & 0xFF000000u) == clSystemColor) return SystemColor(color & 0xFFu);
  return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

// --- TKvPalette ---

void TKvPalette::SetSurfaceColor(TColor& field, TColor value) {
  if (field == value) return;
  field = value;
  if (m_owner) m_owner->InvalidateSurface();
}

void TKvPalette::SetCriteriaColor(TColor& field, TColor value) {
  if (field == value) return;
  field = value;
  if (m_owner) m_owner->InvalidateCriteria();
}

void TKvPalette::SetActiveCondition(TColor value) {
  SetCriteriaColor(m_activeCondition, value);
}
void TKvPalette::SetConditionText(TColor value) {
  SetCriteriaColor(m_conditionText, value);
}
void TKvPalette::SetConditionItemText(TColor value) {
  SetCriteriaColor(m_conditionItemText, value);
}
void TKvPalette::SetProcClient(TColor value) {
  SetSurfaceColor(m_procClient, value);
}
void TKvPalette::SetTableClient(TColor value) {
  SetSurfaceColor(m_tableClient, value);
}
void TKvPalette::SetItemText(TColor value) {
  SetSurfaceColor(m_itemText, value);
}
void TKvPalette::SetSelectedItemText(TColor value) {
  SetSurfaceColor(m_selectedItemText, value);
}
void TKvPalette::SetActiveCaption(TColor value) {
  SetSurfaceColor(m_activeCaption, value);
}
void TKvPalette::SetInactiveCaption(TColor value) {
  SetSurfaceColor(m_inactiveCaption, value);
}

void TKvPalette::Assign(const TKvPalette& source) {
  if (&source == this) return;
  SetActiveCondition(source.ActiveCondition());
  SetConditionText(source.ConditionText());
  SetConditionItemText(source.ConditionItemText());
  SetTableClient(source.TableClient());
  SetItemText(source.ItemText());
  SetSelectedItemText(source.SelectedItemText());
  SetProcClient(source.ProcClient());
  SetActiveCaption(source.ActiveCaption());
  SetInactiveCaption(source.InactiveCaption());
}

// --- TKvObjectStyle ---

void TKvObjectStyle::Changed() {
  if (m_owner) m_owner->InvalidateSurface();
}

void TKvObjectStyle::SetBorderKind(TKvBorderKind value) {
  if (m_borderKind == value) return;
  m_borderKind = value;
  Changed();
}

void TKvObjectStyle::SetFlat(bool value) {
  if (m_flat == value) return;
  m_flat = value;
  Changed();
}

void TKvObjectStyle::SetFlatButtons(bool value) {
  if (m_flatButtons == value) return;
  m_flatButtons = value;
  Changed();
}

void TKvObjectStyle::Assign(const TKvObjectStyle& source) {
  if (&source == this) return;
  SetBorderKind(source.BorderKind());
  SetFlat(source.Flat());
  SetFlatButtons(source.FlatButtons());
}

// --- TKvStyle ---

void TKvStyle::SetButtonStyle(TKvButtonStyle value) {
  if (m_buttonStyle == value) return;
  m_buttonStyle = value;
  if (m_owner) m_owner->InvalidateCriteria();
}

void TKvStyle::SetObjectStyle(const TKvObjectStyle& value) {
  m_objectStyle.Assign(value);
  if (m_owner) m_owner->InvalidateSurface();
}

void TKvStyle::Assign(const TKvStyle& source) {
  if (&source == this) return;
  SetButtonStyle(source.ButtonStyle());
  m_objectStyle.Assign(source.ObjectStyle());
}
