#pragma once
// Resource names of the bitmap buttons' glyphs (ui/Glyphs.rc, linked into
// every program that shows the main window).
constexpr const wchar_t* kGlyphSave = L"GLYPH_SAVE";
constexpr const wchar_t* kGlyphConvert = L"GLYPH_CONVERT";
constexpr const wchar_t* kGlyphAdd = L"GLYPH_ADD";
constexpr const wchar_t* kGlyphDelete = L"GLYPH_DELETE";
