#pragma once

// A tab widget whose page changes can be refused: every change the user makes (mouse, keys on
// the tabs, Ctrl+Tab) and every change made through SelectPage asks OnChanging first.

#include <QTabWidget>

#include <functional>

class TPageControl : public QTabWidget {
  Q_OBJECT
public:
  explicit TPageControl(QWidget* parent = nullptr);

  // Asked before the active page is left for `newIndex`; clearing `allowChange` keeps it.
  std::function<void(int newIndex, bool& allowChange)> OnChanging;

  // Makes `index` the active page when OnChanging allows it; true when it is active afterwards.
  bool SelectPage(int index);
  // The visible, enabled page after (or before) the active one, wrapping around; -1 when none.
  int NextPage(bool forward) const;

protected:
  void keyPressEvent(QKeyEvent* event) override;
};
