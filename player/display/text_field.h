// Text fields as scripts see them: the TextField class (its properties as getter and setter
// pairs on the prototype, its methods), MovieClip.createTextField, the Selection methods that
// read and set a field's selection, and typing into a focused input field.
#pragma once

#include <string>

#include "avm1/machine.h"
#include "text/field.h"

namespace quillon::player {

class Player;
struct Instance;

// Installs TextField and TextField.StyleSheet, createTextField on MovieClip.prototype and
// Selection's index methods; after InstallMovieClip.
void InstallTextField(avm1::Machine& vm, Player& player);

namespace text {
class FontSource;
}
// Fits an auto-sized field's box to its text; autoShift follows its left edge.
void RefitField(const text::FontSource& fonts, text::Field& field);

// What a field created by createTextField starts with.
void InitScriptField(text::Field& field, double width, double height);

// An edit that typing makes, for Player::TextInput and KeyDown.
enum class FieldKey { None, Backspace, Delete, Left, Right, Home, End, Up, Down, Enter, SelectAll };
// Applies a key to a field being typed into; true when the text changed. `shift` extends the
// selection.
bool EditFieldKey(text::Field& field, FieldKey key, bool shift);
// Inserts typed text over the selection through restrict and maxChars; true when the text changed.
bool TypeIntoField(text::Field& field, std::u16string_view typed);

class ClipObject;
// Tells a field's script object and its listeners that typing changed its text (onChanged).
void NotifyFieldChanged(avm1::Machine& vm, ClipObject& field);

}  // namespace quillon::player
