// Drawing text through the shape rasteriser: static text records and text fields (background,
// border, glyphs clipped to the box, scroll and selection applied). Glyphs are outlines, so
// text scales, rotates and masks like any shape.
#pragma once

#include "render/raster.h"
#include "text/layout.h"

namespace quillon::player::text {

// `toDevice` maps the text's own space (twips) to device pixels.
void DrawStaticText(const DrawContext& ctx, const TextDef& text, const FontSource& fonts, const Matrix& toDevice,
                    const ColorTransform& cx);

void DrawField(const DrawContext& ctx, const Field& field, const FontSource& fonts, const Matrix& toDevice,
               const ColorTransform& cx);

// A field as DefineEditText sets it up, its initial text read as HTML when the tag says so.
Field FieldFromDefinition(const EditTextDef& def, const FontSource& fonts);

}  // namespace quillon::player::text
