#pragma once

// Look and behaviour settings of one designer component: colours, window and button styles and
// the option set. Each component owns its own instances; setters repaint only what changed.

#include <QColor>
#include <QFlags>

#include <cstdint>

class TCustomKvarta;

// A colour as hosts store it: 0x00BBGGRR, or 0x800000nn for system colour nn.
using TColor = std::uint32_t;
constexpr TColor clSystemColor = 0x80000000u;
constexpr TColor clWhite = 0x00FFFFFFu;
constexpr TColor clBlack = 0x00000000u;
constexpr TColor clNavy = 0x00800000u;
constexpr TColor clSilver = 0x00C0C0C0u;
constexpr TColor clBtnFace = clSystemColor + 15;
constexpr TColor clInfoBk = clSystemColor + 24;

// The one conversion of stored colours: RGB values as they are, system colours through the
// application palette's matching role.
QColor KvColor(TColor color);

enum TKvButtonStyle : std::uint8_t { kvsFlat, kvs3DLook, kvsRaise };
enum TKvBorderKind : std::uint8_t { kvkBump, kvkEtched, kvkRaised, kvkSunken };

enum TKvOption : std::uint8_t {
  kvoRowSelect = 1,
  kvoDragFieldName = 2,
  kvoHideSelection = 4,
  kvoShowFieldTypes = 8
};
Q_DECLARE_FLAGS(TKvOptions, TKvOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TKvOptions)

class TKvPalette {
public:
  explicit TKvPalette(TCustomKvarta* owner = nullptr) : m_owner(owner) {}
  TKvPalette(const TKvPalette&) = delete;
  TKvPalette& operator=(const TKvPalette&) = delete;

  TCustomKvarta* Owner() const { return m_owner; }
  void Assign(const TKvPalette& source);

  TColor ActiveCondition() const { return m_activeCondition; }
  TColor ConditionText() const { return m_conditionText; }
  TColor ConditionItemText() const { return m_conditionItemText; }
  TColor ProcClient() const { return m_procClient; }
  TColor TableClient() const { return m_tableClient; }
  TColor ItemText() const { return m_itemText; }
  TColor SelectedItemText() const { return m_selectedItemText; }
  TColor ActiveCaption() const { return m_activeCaption; }
  TColor InactiveCaption() const { return m_inactiveCaption; }

  void SetActiveCondition(TColor value);
  void SetConditionText(TColor value);
  void SetConditionItemText(TColor value);
  void SetProcClient(TColor value);
  void SetTableClient(TColor value);
  void SetItemText(TColor value);
  void SetSelectedItemText(TColor value);
  void SetActiveCaption(TColor value);
  void SetInactiveCaption(TColor value);

private:
  void SetSurfaceColor(TColor& field, TColor value);
  void SetCriteriaColor(TColor& field, TColor value);

  TCustomKvarta* m_owner;
  TColor m_activeCondition = clWhite;
  TColor m_conditionText = clBlack;
  TColor m_conditionItemText = clNavy;
  TColor m_procClient = clInfoBk;
  TColor m_tableClient = clWhite;
  TColor m_itemText = clBlack;
  TColor m_selectedItemText = clWhite;
  TColor m_activeCaption = clSilver;
  TColor m_inactiveCaption = clBtnFace;
};

class TKvObjectStyle {
public:
  explicit TKvObjectStyle(TCustomKvarta* owner = nullptr) : m_owner(owner) {}
  TKvObjectStyle(const TKvObjectStyle&) = delete;
  TKvObjectStyle& operator=(const TKvObjectStyle&) = delete;

  TCustomKvarta* Owner() const { return m_owner; }
  void Assign(const TKvObjectStyle& source);

  TKvBorderKind BorderKind() const { return m_borderKind; }
  bool Flat() const { return m_flat; }
  bool FlatButtons() const { return m_flatButtons; }
  void SetBorderKind(TKvBorderKind value);
  void SetFlat(bool value);
  void SetFlatButtons(bool value);

private:
  void Changed();

  TCustomKvarta* m_owner;
  TKvBorderKind m_borderKind = kvkRaised;
  bool m_flat = true;
  bool m_flatButtons = true;
};

class TKvStyle {
public:
  explicit TKvStyle(TCustomKvarta* owner = nullptr) : m_owner(owner), m_objectStyle(owner) {}
  TKvStyle(const TKvStyle&) = delete;
  TKvStyle& operator=(const TKvStyle&) = delete;

  TCustomKvarta* Owner() const { return m_owner; }
  void Assign(const TKvStyle& source);

  TKvButtonStyle ButtonStyle() const { return m_buttonStyle; }
  void SetButtonStyle(TKvButtonStyle value);
  TKvObjectStyle& ObjectStyle() { return m_objectStyle; }
  const TKvObjectStyle& ObjectStyle() const { return m_objectStyle; }
  // Writing the object style copies it and repaints the surface.
  void SetObjectStyle(const TKvObjectStyle& value);

private:
  TCustomKvarta* m_owner;
  TKvButtonStyle m_buttonStyle = kvsFlat;
  TKvObjectStyle m_objectStyle;
};
