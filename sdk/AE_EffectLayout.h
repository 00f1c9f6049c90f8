#pragma once
// The host reads and writes these records by offset: check them against the 64-bit Windows layout.
// (Included at the end of AE_Effect.h; the widths are fixed-size, so Linux gives the same offsets.)
#include <cstddef>

#define PF_CHECK_OFFSET(T, m, off) static_assert(offsetof(T, m) == (off), #T "::" #m)

static_assert(sizeof(PF_Pixel) == 4 && sizeof(PF_Pixel16) == 8 && sizeof(PF_PixelFloat) == 16);
static_assert(sizeof(PF_LRect) == 16 && sizeof(PF_Point) == 8 && sizeof(PF_RationalScale) == 8);
static_assert(sizeof(PF_SpecVersion) == 4 && sizeof(PF_CompositeMode) == 12 && sizeof(PF_FloatMatrix) == 72);
static_assert(sizeof(PF_SoundFormatInfo) == 16 && sizeof(PF_SoundWorld) == 32 && sizeof(PF_State) == 16);
static_assert(sizeof(PF_Boolean) == 1 && sizeof(PF_Handle) == 8);

static_assert(sizeof(PF_InteractCallbacks) == 176);
PF_CHECK_OFFSET(PF_InteractCallbacks, progress, 32);
PF_CHECK_OFFSET(PF_InteractCallbacks, get_audio_data, 64);
PF_CHECK_OFFSET(PF_InteractCallbacks, reserved_str, 72);
PF_CHECK_OFFSET(PF_InteractCallbacks, reserved, 96);

static_assert(sizeof(PF_InData) == 408);
PF_CHECK_OFFSET(PF_InData, utils, 176);
PF_CHECK_OFFSET(PF_InData, effect_ref, 184);
PF_CHECK_OFFSET(PF_InData, quality, 192);
PF_CHECK_OFFSET(PF_InData, version, 196);
PF_CHECK_OFFSET(PF_InData, appl_id, 204);
PF_CHECK_OFFSET(PF_InData, current_time, 224);
PF_CHECK_OFFSET(PF_InData, time_scale, 240);
PF_CHECK_OFFSET(PF_InData, width, 252);
PF_CHECK_OFFSET(PF_InData, extent_hint, 260);
PF_CHECK_OFFSET(PF_InData, downsample_x, 284);
PF_CHECK_OFFSET(PF_InData, downsample_y, 292);
PF_CHECK_OFFSET(PF_InData, pixel_aspect_ratio, 300);
PF_CHECK_OFFSET(PF_InData, in_flags, 308);
PF_CHECK_OFFSET(PF_InData, global_data, 312);
PF_CHECK_OFFSET(PF_InData, sequence_data, 320);
PF_CHECK_OFFSET(PF_InData, frame_data, 328);
PF_CHECK_OFFSET(PF_InData, total_sampL, 344);
PF_CHECK_OFFSET(PF_InData, src_snd, 352);
PF_CHECK_OFFSET(PF_InData, pica_basicP, 384);
PF_CHECK_OFFSET(PF_InData, shutter_phase, 400);

static_assert(sizeof(PF_OutData) == 408);
PF_CHECK_OFFSET(PF_OutData, name, 4);
PF_CHECK_OFFSET(PF_OutData, global_data, 40);
PF_CHECK_OFFSET(PF_OutData, num_params, 48);
PF_CHECK_OFFSET(PF_OutData, sequence_data, 56);
PF_CHECK_OFFSET(PF_OutData, flat_sdata_size, 64);
PF_CHECK_OFFSET(PF_OutData, frame_data, 72);
PF_CHECK_OFFSET(PF_OutData, width, 80);
PF_CHECK_OFFSET(PF_OutData, origin, 88);
PF_CHECK_OFFSET(PF_OutData, out_flags, 96);
PF_CHECK_OFFSET(PF_OutData, return_msg, 100);
PF_CHECK_OFFSET(PF_OutData, start_sampL, 356);
PF_CHECK_OFFSET(PF_OutData, dest_snd, 368);
PF_CHECK_OFFSET(PF_OutData, out_flags2, 400);

static_assert(sizeof(PF_LayerDef) == 120);
PF_CHECK_OFFSET(PF_LayerDef, world_flags, 16);
PF_CHECK_OFFSET(PF_LayerDef, data, 24);
PF_CHECK_OFFSET(PF_LayerDef, rowbytes, 32);
PF_CHECK_OFFSET(PF_LayerDef, width, 36);
PF_CHECK_OFFSET(PF_LayerDef, height, 40);
PF_CHECK_OFFSET(PF_LayerDef, extent_hint, 44);
PF_CHECK_OFFSET(PF_LayerDef, platform_ref, 64);
PF_CHECK_OFFSET(PF_LayerDef, reserved_long1, 72);
PF_CHECK_OFFSET(PF_LayerDef, reserved_long4, 80);
PF_CHECK_OFFSET(PF_LayerDef, pix_aspect_ratio, 88);
PF_CHECK_OFFSET(PF_LayerDef, reserved_long2, 96);
PF_CHECK_OFFSET(PF_LayerDef, origin_x, 104);
PF_CHECK_OFFSET(PF_LayerDef, reserved_long3, 112);
PF_CHECK_OFFSET(PF_LayerDef, dephault, 116);

static_assert(sizeof(PF_SliderDef) == 88 && sizeof(PF_FixedSliderDef) == 92 && sizeof(PF_AngleDef) == 16);
static_assert(sizeof(PF_CheckBoxDef) == 16 && sizeof(PF_ColorDef) == 8 && sizeof(PF_PointDef) == 20);
static_assert(sizeof(PF_PopupDef) == 16 && sizeof(PF_FloatSliderDef) == 88 && sizeof(PF_ArbitraryDef) == 32);
static_assert(sizeof(PF_PathDef) == 12 && sizeof(PF_ButtonDef) == 16 && sizeof(PF_Point3DDef) == 64);
static_assert(sizeof(PF_ParamDefUnion) == 120);
static_assert(sizeof(PF_ParamDef) == 176);
PF_CHECK_OFFSET(PF_ParamDef, ui_flags, 4);
PF_CHECK_OFFSET(PF_ParamDef, ui_width, 8);
PF_CHECK_OFFSET(PF_ParamDef, param_type, 12);
PF_CHECK_OFFSET(PF_ParamDef, name, 16);
PF_CHECK_OFFSET(PF_ParamDef, flags, 48);
PF_CHECK_OFFSET(PF_ParamDef, u, 56);
PF_CHECK_OFFSET(PF_ParamDef, u.fs_d.phase, 64);
PF_CHECK_OFFSET(PF_ParamDef, u.fs_d.value_desc, 72);
PF_CHECK_OFFSET(PF_ParamDef, u.fs_d.valid_min, 104);
PF_CHECK_OFFSET(PF_ParamDef, u.fs_d.dephault, 120);
PF_CHECK_OFFSET(PF_ParamDef, u.fs_d.precision, 124);
PF_CHECK_OFFSET(PF_ParamDef, u.fs_d.display_flags, 126);
PF_CHECK_OFFSET(PF_ParamDef, u.fs_d.fs_flags, 128);
PF_CHECK_OFFSET(PF_ParamDef, u.fs_d.curve_tolerance, 132);
PF_CHECK_OFFSET(PF_ParamDef, u.fs_d.useExponent, 136);
PF_CHECK_OFFSET(PF_ParamDef, u.fs_d.exponent, 140);
PF_CHECK_OFFSET(PF_ParamDef, u.bd.dephault, 60);
PF_CHECK_OFFSET(PF_ParamDef, u.bd.u.nameptr, 64);
PF_CHECK_OFFSET(PF_ParamDef, u.pd.num_choices, 60);
PF_CHECK_OFFSET(PF_ParamDef, u.pd.dephault, 62);
PF_CHECK_OFFSET(PF_ParamDef, u.pd.u.namesptr, 64);
PF_CHECK_OFFSET(PF_ParamDef, u.cd.dephault, 60);
PF_CHECK_OFFSET(PF_ParamDef, u.sd.value_str, 60);
PF_CHECK_OFFSET(PF_ParamDef, u.sd.value_desc, 92);
PF_CHECK_OFFSET(PF_ParamDef, u.sd.valid_min, 124);
PF_CHECK_OFFSET(PF_ParamDef, u.sd.dephault, 140);
PF_CHECK_OFFSET(PF_ParamDef, u.ld.data, 80);
PF_CHECK_OFFSET(PF_ParamDef, u.ld.dephault, 172);

static_assert(sizeof(PF_ANSICallbacks) == 160 && sizeof(PF_ColorCallbacks) == 64);
static_assert(sizeof(PF_UtilCallbacks) == 552);
PF_CHECK_OFFSET(PF_UtilCallbacks, get_batch_func_is_deprecated, 24);
PF_CHECK_OFFSET(PF_UtilCallbacks, copy, 64);
PF_CHECK_OFFSET(PF_UtilCallbacks, new_world, 112);
PF_CHECK_OFFSET(PF_UtilCallbacks, dispose_world, 120);
PF_CHECK_OFFSET(PF_UtilCallbacks, host_new_handle, 160);
PF_CHECK_OFFSET(PF_UtilCallbacks, host_dispose_handle, 184);
PF_CHECK_OFFSET(PF_UtilCallbacks, app, 200);
PF_CHECK_OFFSET(PF_UtilCallbacks, ansi, 208);
PF_CHECK_OFFSET(PF_UtilCallbacks, ansi.sprintf, 328);
PF_CHECK_OFFSET(PF_UtilCallbacks, ansi.strcpy, 336);
PF_CHECK_OFFSET(PF_UtilCallbacks, ansi.ansi_procs, 360);
PF_CHECK_OFFSET(PF_UtilCallbacks, colorCB, 368);
PF_CHECK_OFFSET(PF_UtilCallbacks, get_platform_data, 432);
PF_CHECK_OFFSET(PF_UtilCallbacks, host_get_handle_size, 440);
PF_CHECK_OFFSET(PF_UtilCallbacks, iterate_generic, 456);
PF_CHECK_OFFSET(PF_UtilCallbacks, host_resize_handle, 464);
PF_CHECK_OFFSET(PF_UtilCallbacks, get_pixel_data16, 536);
PF_CHECK_OFFSET(PF_UtilCallbacks, reserved, 544);

static_assert(sizeof(PF_RenderRequest) == 44 && sizeof(PF_PreRenderInput) == 64);
PF_CHECK_OFFSET(PF_RenderRequest, preserve_rgb_of_zero_alpha, 24);
PF_CHECK_OFFSET(PF_RenderRequest, reserved, 28);
PF_CHECK_OFFSET(PF_PreRenderInput, bitdepth, 44);
PF_CHECK_OFFSET(PF_PreRenderInput, gpu_data, 48);
PF_CHECK_OFFSET(PF_PreRenderInput, device_index, 60);
static_assert(sizeof(PF_PreRenderOutput) == 56);
PF_CHECK_OFFSET(PF_PreRenderOutput, solid, 32);
PF_CHECK_OFFSET(PF_PreRenderOutput, flags, 34);
PF_CHECK_OFFSET(PF_PreRenderOutput, pre_render_data, 40);
PF_CHECK_OFFSET(PF_PreRenderOutput, delete_pre_render_data_func, 48);
static_assert(sizeof(PF_CheckoutResult) == 76);
PF_CHECK_OFFSET(PF_CheckoutResult, par, 32);
PF_CHECK_OFFSET(PF_CheckoutResult, solid, 40);
PF_CHECK_OFFSET(PF_CheckoutResult, ref_width, 44);
PF_CHECK_OFFSET(PF_CheckoutResult, reserved, 52);
static_assert(sizeof(PF_PreRenderCallbacks) == 16 && sizeof(PF_PreRenderExtra) == 24);
static_assert(sizeof(PF_SmartRenderInput) == 72 && sizeof(PF_SmartRenderCallbacks) == 24);
PF_CHECK_OFFSET(PF_SmartRenderInput, pre_render_data, 48);
PF_CHECK_OFFSET(PF_SmartRenderInput, what_gpu, 64);
static_assert(sizeof(PF_SmartRenderExtra) == 16);
