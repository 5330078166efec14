// The 23 entity kinds: array member, element record, chunk identifier and
// version, reader name. Everything that walks the kinds expands this list.
#pragma once

// X(array, element, identifier, version, reader)
#define Q6_ENTITY_KINDS(X)                                         \
    X(pt, TQ6ObjectPoint, 2001, 20, ReadPoint)                     \
    X(ln, TQ6ObjectLine, 2002, 20, ReadLine)                       \
    X(lnx, TQ6ObjectLineEx, 2002, 30, ReadLineEx)                  \
    X(cr, TQ6ObjectCircle, 2003, 20, ReadCircle)                   \
    X(crx, TQ6ObjectCircleEx, 2003, 30, ReadCircleEx)              \
    X(ep, TQ6ObjectEllipse, 2005, 20, ReadEllipse)                 \
    X(epx, TQ6ObjectEllipseEx, 2005, 30, ReadEllipseEx)            \
    X(tx, TQ6ObjectText, 2007, 20, ReadText)                       \
    X(txx, TQ6ObjectTextEx, 2007, 30, ReadTextEx)                  \
    X(bz, TQ6ObjectBezier, 2017, 20, ReadBezier)                   \
    X(bzx, TQ6ObjectBezierEx, 2017, 30, ReadBezierEx)              \
    X(pl, TQ6ObjectBezier, 2008, 20, ReadPolyline)                 \
    X(plx, TQ6ObjectPolylineEx, 2008, 30, ReadPolylineEx)          \
    X(pg, TQ6ObjectPolygon, 2009, 40, ReadPolygon)                 \
    X(pgg, TQ6ObjectPolygonGrad, 2009, 50, ReadPolygonGrad)        \
    X(pgm, TQ6ObjectPolygonMapping, 2009, 60, ReadPolygonMapping)  \
    X(bm, TQ6ObjectBitmap, 2018, 90, ReadBitmap)                   \
    X(bmx, TQ6ObjectBitmapEx, 2018, 91, ReadBitmapEx)              \
    X(sy, TQ6ObjectSymbol, 2020, 20, ReadSymbol)                   \
    X(gr, TQ6ObjectGroup, 2032, 20, ReadGroup)                     \
    X(grdim, TQ6ObjectGroupDim, 2032, 30, ReadGroupDim)            \
    X(grqle, TQ6ObjectGroupQle, 2032, 40, ReadGroupQle)            \
    X(grbar, TQ6ObjectGroupBar, 2032, 50, ReadGroupBar)

// X(member, identifier, version, reader)
#define Q6_SETTINGS_KINDS(X)                 \
    X(Title, 1000, 10, ReadTitle)            \
    X(li, 1010, 20, ReadLayerInfo)           \
    X(psz, 1020, 20, ReadPaperSize)          \
    X(ai, 1030, 10, ReadAxisInfo)            \
    X(gi, 1040, 10, ReadGridInfo)            \
    X(txtstl, 1050, 30, ReadTextStyles)      \
    X(dimstl, 1060, 30, ReadDimStyles)       \
    X(dimstlex, 1060, 40, ReadDimStyleEx)    \
    X(symstl, 1070, 20, ReadSymbolStyle)     \
    X(prnstl, 1080, 20, ReadPrintStyle)      \
    X(pri, 1085, 10, ReadPrintInfo)          \
    X(coltbl, 1090, 20, ReadColorTable)      \
    X(viewinfo, 1100, 20, ReadViewInfo)
