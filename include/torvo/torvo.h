/* torvo: converts LightWave objects (.lwo) and scenes (.lws) into DirectX .x files.
 *
 * One call converts one file, as the torvo command does. Everything the conversion
 * needs is passed in and every message it writes is handed to the caller, so
 * conversions may run in several threads at once. Usable from C and C++. */
#ifndef TORVO_TORVO_H
#define TORVO_TORVO_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TORVO_VERSION "1.11"

/* Conversion options; each field is the command-line option named beside it. */
typedef struct torvo_options {
  int binary;               /* -b: binary .x (32-bit floats) instead of text */
  int top_frame;            /* -T: everything inside one frame named TopFrame */
  int camera_frame;         /* -c: the scene's camera as a frame */
  int light_frames;         /* -l: the scene's lights as frames */
  int no_material_merge;    /* -m: never merge materials of differently named surfaces */
  int no_animation;         /* -A: no animation */
  int no_normals;           /* -N: no normals */
  int meshes_only;          /* -M: meshes only, no frames and no animation */
  int keep_texture_files;   /* -B: refer to the texture files as named, do not convert them */
  int flip_texture_v;       /* -F: flip texture v coordinates */
  int texture_wrap;         /* -u: maps wrap around their seam (MeshFaceWraps) */
  int output_beside_source; /* -s: without a destination, write beside the source */
  const char* config_file;  /* -C: LightWave's lw.cfg, or NULL */
  const char* frame_prefix; /* -f: frame name prefix, or NULL */
  const char* template_file; /* the template file for text output (TORVOtpl.x, installed
                                beside the torvo program); NULL: beside the running program */
  unsigned skin_influences; /* -W: the strongest bone influences kept per vertex (1 to 65535),
                               renormalized; 0: all */
  int subpatch_level;       /* -S: TORVO_SUBPATCH_SCENE (the default), TORVO_SUBPATCH_RENDER,
                               TORVO_SUBPATCH_CAGE (-S 0), or a level from 1 to 1000 */
} torvo_options;

/* Values of subpatch_level besides a level. */
#define TORVO_SUBPATCH_SCENE 0   /* each object's SubPatchLevel display value; 3 without one */
#define TORVO_SUBPATCH_RENDER (-1) /* each object's SubPatchLevel render value */
#define TORVO_SUBPATCH_CAGE (-2)   /* no subdivision: the cages as they are */

/* Receives the conversion's console text, piece by piece and in order (pieces are not
 * lines: a progress line arrives in several). */
typedef void (*torvo_message_fn)(void* user, const char* text, size_t length);

/* All options off, no lw.cfg, no prefix, the template beside the running program. */
void torvo_default_options(torvo_options* options);

/* Converts source (a .lwo or .lws file) into destination: an existing directory, a
 * directory and an output name, a bare output name, or NULL for the current directory.
 * Relative names resolve against the current directory, which is never changed.
 * options may be NULL (defaults); message may be NULL (messages dropped).
 * Returns 0 on success and 1 on failure, like the command's exit code. */
int torvo_convert(const char* source, const char* destination, const torvo_options* options,
                  torvo_message_fn message, void* user);

#ifdef __cplusplus
}
#endif

#endif /* TORVO_TORVO_H */
