#pragma once
// The sixteen blur passes: Gaussian or box kernel, spanning or confined window, 16-bit or float, rows
// or columns. Each filters the lines of its block of the context's rectangle from the source into the
// destination with the context's per-channel tables (Gaussian) or radii and centre weight (box), and
// writes only selected pixels whose channel window holds an eligible sample. Rows and columns whose
// flag is 0 are skipped. Returns 0; PF_Err_OUT_OF_MEMORY when the line buffers cannot be had;
// PF_Err_INTERNAL_STRUCT_DAMAGED when the context does not hold the rectangle.
#include "kernels/BlurLine.h"
#include "kernels/PassContext.h"

PF_Err GaussSpanningRows16(void* context, A_long threadIndex, A_long i, A_long count);
PF_Err GaussSpanningColumns16(void* context, A_long threadIndex, A_long i, A_long count);
PF_Err GaussConfinedRows16(void* context, A_long threadIndex, A_long i, A_long count);
PF_Err GaussConfinedColumns16(void* context, A_long threadIndex, A_long i, A_long count);
PF_Err BoxSpanningRows16(void* context, A_long threadIndex, A_long i, A_long count);
PF_Err BoxSpanningColumns16(void* context, A_long threadIndex, A_long i, A_long count);
PF_Err BoxConfinedRows16(void* context, A_long threadIndex, A_long i, A_long count);
PF_Err BoxConfinedColumns16(void* context, A_long threadIndex, A_long i, A_long count);
PF_Err GaussSpanningRowsFloat(void* context, A_long threadIndex, A_long i, A_long count);
PF_Err GaussSpanningColumnsFloat(void* context, A_long threadIndex, A_long i, A_long count);
PF_Err GaussConfinedRowsFloat(void* context, A_long threadIndex, A_long i, A_long count);
PF_Err GaussConfinedColumnsFloat(void* context, A_long threadIndex, A_long i, A_long count);
PF_Err BoxSpanningRowsFloat(void* context, A_long threadIndex, A_long i, A_long count);
PF_Err BoxSpanningColumnsFloat(void* context, A_long threadIndex, A_long i, A_long count);
PF_Err BoxConfinedRowsFloat(void* context, A_long threadIndex, A_long i, A_long count);
PF_Err BoxConfinedColumnsFloat(void* context, A_long threadIndex, A_long i, A_long count);

// The pass of a kernel and variant over rows or columns, for 16-bit or float pixels.
template <class Pixel>
PassFunction BlurPassOf(BlurKernel kernel, BlurVariant variant, bool columns);
extern template PassFunction BlurPassOf<PF_Pixel16>(BlurKernel, BlurVariant, bool);
extern template PassFunction BlurPassOf<PF_PixelFloat>(BlurKernel, BlurVariant, bool);
