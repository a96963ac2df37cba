#pragma once

// The link properties dialog: comparison operator and outer-join sides of a link. One instance
// per work area serves all its links.

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class TKvLink;
class TKvWorkArea;

class TfmLinkProp : public QDialog {
  Q_OBJECT
public:
  static constexpr int DesignWidth = 341;
  static constexpr int DesignHeight = 130;
  static constexpr int LeastWidth = 360;

  explicit TfmLinkProp(TKvWorkArea* owner);

  QLabel* laCaption;
  QLabel* laLeftField;
  QComboBox* cbConditions;
  QLabel* laRightField;
  QCheckBox* chLeftOuter;
  QCheckBox* chRightOuter;
  QPushButton* buOK;
  QPushButton* buCancel;

  // The link being edited (the work area's current link), or nullptr.
  TKvLink* CurrentLink() const;
  int MinWidth() const { return m_minWidth; }

  // Reads the current link into the controls and computes the sizes; raises "Invalid link"
  // without one. exec() runs it first.
  void FormShow();
  // Writes the choice to the link, its join and its model join.
  void buOKClick();
  // Only the width may change, and not below MinWidth.
  bool FormCanResize(int newWidth, int newHeight) const;
  // Centres the controls around the middle of the width.
  void FormResize();

  int exec() override;
  void accept() override;

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  TKvWorkArea* m_owner;
  int m_minWidth = LeastWidth;
};
