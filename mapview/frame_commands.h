// The map layer of a frame as a list of drawing commands: the paint context
// records what a map parser draws, and the list is replayed into the
// bitmap, whole or band by band (the bands on two threads at once), in the
// order it was recorded.
#pragma once
#include <climits>
#include <cstddef>
#include <functional>
#include <vector>

#include "platform/canvas.h"

namespace velka {

class CFrameCommands {
public:
    void Clear();
    bool Empty() const { return m_commands.empty(); }
    std::size_t Size() const { return m_commands.size(); }

    // An area filled without outline and without antialiasing.
    void AddFill(const CBrushDesc& brush, const POINT* pPoints, int cPoints);
    // A line with one pen, antialiased or not.
    void AddLine(const CPenDesc& pen, bool fAntialias, const POINT* pPoints, int cPoints);
    // A polygon outlined with the pen and filled with the brush, at the
    // frame's antialiasing.
    void AddShape(const CPenDesc& pen, const CBrushDesc& brush, const POINT* pPoints, int cPoints);

    // Draws the commands that reach rows yTop..yBottom (excluded) into dc
    // (fAntialias: the frame's setting), asking fnStop every 64 commands;
    // false when it answered true.
    bool Replay(ICanvas& dc, bool fAntialias, const std::function<bool()>& fnStop, int yTop = INT_MIN,
                int yBottom = INT_MAX) const;

private:
    enum Kind { ckFill, ckLine, ckShape };
    struct CCommand {
        Kind nKind;
        bool fAntialias;
        CPenDesc pen;
        CBrushDesc brush;
        std::size_t nFirst;
        int cPoints;
        int yMin, yMax; // the rows the points span, widened by the pen
    };
    void Add(Kind nKind, bool fAntialias, const CPenDesc& pen, const CBrushDesc& brush, const POINT* pPoints,
             int cPoints);

    std::vector<CCommand> m_commands;
    std::vector<POINT> m_points;
};

} // namespace velka
