#pragma once

// Undo and redo of the designer. Every change the user makes runs inside a TKvUndoStep, which
// compares the query model and the surface before and after and puts one command on the
// component's undo stack when anything changed. Commands hold saved states (values keyed by the
// windows' identities), never pointers to windows, links or model items.

#include "KvModelState.h"
#include "KvSurfaceState.h"

#include <QString>

class TCustomKvarta;

// Model and surface as saved for undo.
struct TKvDesignState {
  TKvModelState Model;
  TKvSurfaceState Surface;
  bool SameAs(const TKvDesignState& other) const {
    return Model == other.Model && Surface.SameAs(other.Surface);
  }
};

// One change of the user. Made, it saves model and surface; ended, it pushes ONE command named
// `text` when either changed (nothing when nothing did). Steps made while another is open join
// that outermost one. Left by an exception, the outermost step puts model and surface back as
// they were before it, and the exception goes on.
class TKvUndoStep {
public:
  TKvUndoStep(TCustomKvarta* kvarta, const QString& text);
  ~TKvUndoStep();
  TKvUndoStep(const TKvUndoStep&) = delete;
  TKvUndoStep& operator=(const TKvUndoStep&) = delete;

  // Ends the step now; the destructor then does nothing.
  void Commit();
  // Ends the step and puts back what the outermost step found (for a gesture that cannot
  // finish).
  void Cancel();

private:
  void Finish(bool failed);

  TCustomKvarta* m_kvarta = nullptr;
  int m_uncaught = 0;
  bool m_open = false;
};
