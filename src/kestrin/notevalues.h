#pragma once
// Note values: the 32 delay times that "Note L" and "Note R" select in synchronised
// mode. Index n stands for n + 1 sixteenth notes, from a sixteenth ("1/16", n = 0)
// to two whole notes ("2", n = 31); at T beats per minute (a beat is a quarter note)
// it lasts (n + 1) x 15 / T seconds.

namespace kestrin {

inline constexpr int kNoteValueCount = 32;

// Any thread. The label of note index n as a reduced fraction of a whole note, a
// whole part joined by " & " ("3/16", "1", "1 & 1/2", "2"); a single space " " for
// an index outside 0 to 31. The text is static.
const char* noteValueLabel(int index) noexcept;

// Any thread. (n + 1) x 15 / tempo seconds, in double precision. 0 for an index
// outside 0 to 31 or a tempo that is not a positive finite number.
double noteValueSeconds(int index, double tempo) noexcept;

}  // namespace kestrin
