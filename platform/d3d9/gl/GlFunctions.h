// The OpenGL entry points the device uses, loaded through SDL once a context
// exists. Names are the GL names with a gl prefix kept, in namespace ostrevin::gl.
#pragma once

#ifdef OSTREVIN_D3D9_FRONT
#error "The Direct3D front hands its GL work to the back's objects (GlDevice, GlBuffer, GlTexture, GlShader)."
#endif

#include <GL/glcorearb.h>

#define OSTREVIN_GL_FUNCTIONS(X)                                                  \
  X(PFNGLGETSTRINGPROC, GetString)                                                \
  X(PFNGLGETSTRINGIPROC, GetStringi)                                              \
  X(PFNGLGETINTEGERVPROC, GetIntegerv)                                            \
  X(PFNGLGETFLOATVPROC, GetFloatv)                                                \
  X(PFNGLGETERRORPROC, GetError)                                                  \
  X(PFNGLENABLEPROC, Enable)                                                      \
  X(PFNGLDISABLEPROC, Disable)                                                    \
  X(PFNGLVIEWPORTPROC, Viewport)                                                  \
  X(PFNGLSCISSORPROC, Scissor)                                                    \
  X(PFNGLCLEARCOLORPROC, ClearColor)                                              \
  X(PFNGLCLEARSTENCILPROC, ClearStencil)                                          \
  X(PFNGLCLEARPROC, Clear)                                                        \
  X(PFNGLCOLORMASKPROC, ColorMask)                                                \
  X(PFNGLDEPTHMASKPROC, DepthMask)                                                \
  X(PFNGLSTENCILMASKPROC, StencilMask)                                            \
  X(PFNGLDEPTHFUNCPROC, DepthFunc)                                                \
  X(PFNGLCULLFACEPROC, CullFace)                                                  \
  X(PFNGLFRONTFACEPROC, FrontFace)                                                \
  X(PFNGLBLENDFUNCPROC, BlendFunc)                                                \
  X(PFNGLBLENDEQUATIONPROC, BlendEquation)                                        \
  X(PFNGLPIXELSTOREIPROC, PixelStorei)                                            \
  X(PFNGLREADPIXELSPROC, ReadPixels)                                              \
  X(PFNGLREADBUFFERPROC, ReadBuffer)                                              \
  X(PFNGLFLUSHPROC, Flush)                                                        \
  X(PFNGLFINISHPROC, Finish)                                                      \
  X(PFNGLGENBUFFERSPROC, GenBuffers)                                              \
  X(PFNGLDELETEBUFFERSPROC, DeleteBuffers)                                        \
  X(PFNGLBINDBUFFERPROC, BindBuffer)                                              \
  X(PFNGLBUFFERDATAPROC, BufferData)                                              \
  X(PFNGLBUFFERSUBDATAPROC, BufferSubData)                                        \
  X(PFNGLGENVERTEXARRAYSPROC, GenVertexArrays)                                    \
  X(PFNGLDELETEVERTEXARRAYSPROC, DeleteVertexArrays)                              \
  X(PFNGLBINDVERTEXARRAYPROC, BindVertexArray)                                    \
  X(PFNGLENABLEVERTEXATTRIBARRAYPROC, EnableVertexAttribArray)                    \
  X(PFNGLVERTEXATTRIBPOINTERPROC, VertexAttribPointer)                            \
  X(PFNGLVERTEXATTRIB4FPROC, VertexAttrib4f)                                      \
  X(PFNGLDRAWARRAYSPROC, DrawArrays)                                              \
  X(PFNGLDRAWELEMENTSPROC, DrawElements)                                          \
  X(PFNGLGENTEXTURESPROC, GenTextures)                                            \
  X(PFNGLDELETETEXTURESPROC, DeleteTextures)                                      \
  X(PFNGLBINDTEXTUREPROC, BindTexture)                                            \
  X(PFNGLACTIVETEXTUREPROC, ActiveTexture)                                        \
  X(PFNGLTEXIMAGE2DPROC, TexImage2D)                                              \
  X(PFNGLTEXSUBIMAGE2DPROC, TexSubImage2D)                                        \
  X(PFNGLCOMPRESSEDTEXIMAGE2DPROC, CompressedTexImage2D)                          \
  X(PFNGLCOMPRESSEDTEXSUBIMAGE2DPROC, CompressedTexSubImage2D)                    \
  X(PFNGLTEXPARAMETERIPROC, TexParameteri)                                        \
  X(PFNGLTEXPARAMETERIVPROC, TexParameteriv)                                      \
  X(PFNGLGENERATEMIPMAPPROC, GenerateMipmap)                                      \
  X(PFNGLGENSAMPLERSPROC, GenSamplers)                                            \
  X(PFNGLDELETESAMPLERSPROC, DeleteSamplers)                                      \
  X(PFNGLBINDSAMPLERPROC, BindSampler)                                            \
  X(PFNGLSAMPLERPARAMETERIPROC, SamplerParameteri)                                \
  X(PFNGLSAMPLERPARAMETERFPROC, SamplerParameterf)                                \
  X(PFNGLSAMPLERPARAMETERFVPROC, SamplerParameterfv)                              \
  X(PFNGLGENFRAMEBUFFERSPROC, GenFramebuffers)                                    \
  X(PFNGLDELETEFRAMEBUFFERSPROC, DeleteFramebuffers)                              \
  X(PFNGLBINDFRAMEBUFFERPROC, BindFramebuffer)                                    \
  X(PFNGLFRAMEBUFFERRENDERBUFFERPROC, FramebufferRenderbuffer)                    \
  X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, CheckFramebufferStatus)                      \
  X(PFNGLBLITFRAMEBUFFERPROC, BlitFramebuffer)                                    \
  X(PFNGLGENRENDERBUFFERSPROC, GenRenderbuffers)                                  \
  X(PFNGLDELETERENDERBUFFERSPROC, DeleteRenderbuffers)                            \
  X(PFNGLBINDRENDERBUFFERPROC, BindRenderbuffer)                                  \
  X(PFNGLRENDERBUFFERSTORAGEPROC, RenderbufferStorage)                            \
  X(PFNGLCREATESHADERPROC, CreateShader)                                          \
  X(PFNGLDELETESHADERPROC, DeleteShader)                                          \
  X(PFNGLSHADERSOURCEPROC, ShaderSource)                                          \
  X(PFNGLCOMPILESHADERPROC, CompileShader)                                        \
  X(PFNGLGETSHADERIVPROC, GetShaderiv)                                            \
  X(PFNGLGETSHADERINFOLOGPROC, GetShaderInfoLog)                                  \
  X(PFNGLCREATEPROGRAMPROC, CreateProgram)                                        \
  X(PFNGLDELETEPROGRAMPROC, DeleteProgram)                                        \
  X(PFNGLATTACHSHADERPROC, AttachShader)                                          \
  X(PFNGLLINKPROGRAMPROC, LinkProgram)                                            \
  X(PFNGLGETPROGRAMIVPROC, GetProgramiv)                                          \
  X(PFNGLGETPROGRAMINFOLOGPROC, GetProgramInfoLog)                                \
  X(PFNGLUSEPROGRAMPROC, UseProgram)                                              \
  X(PFNGLGETUNIFORMLOCATIONPROC, GetUniformLocation)                              \
  X(PFNGLUNIFORM1IPROC, Uniform1i)                                                \
  X(PFNGLUNIFORM1FVPROC, Uniform1fv)                                              \
  X(PFNGLUNIFORM2FVPROC, Uniform2fv)                                              \
  X(PFNGLUNIFORM3FVPROC, Uniform3fv)                                              \
  X(PFNGLUNIFORM4FVPROC, Uniform4fv)                                              \
  X(PFNGLUNIFORM1IVPROC, Uniform1iv)                                              \
  X(PFNGLUNIFORM2IVPROC, Uniform2iv)                                              \
  X(PFNGLUNIFORM3IVPROC, Uniform3iv)                                              \
  X(PFNGLUNIFORM4IVPROC, Uniform4iv)                                              \
  X(PFNGLUNIFORM1UIVPROC, Uniform1uiv)                                            \
  X(PFNGLUNIFORM2UIVPROC, Uniform2uiv)                                            \
  X(PFNGLUNIFORM3UIVPROC, Uniform3uiv)                                            \
  X(PFNGLUNIFORM4UIVPROC, Uniform4uiv)                                            \
  X(PFNGLUNIFORMMATRIX2FVPROC, UniformMatrix2fv)                                  \
  X(PFNGLUNIFORMMATRIX3FVPROC, UniformMatrix3fv)                                  \
  X(PFNGLUNIFORMMATRIX4FVPROC, UniformMatrix4fv)                                  \
  X(PFNGLUNIFORMMATRIX2X4FVPROC, UniformMatrix2x4fv)                              \
  X(PFNGLUNIFORMMATRIX3X4FVPROC, UniformMatrix3x4fv)                              \
  X(PFNGLUNIFORMMATRIX4X2FVPROC, UniformMatrix4x2fv)                              \
  X(PFNGLUNIFORMMATRIX4X3FVPROC, UniformMatrix4x3fv)                              \
  X(PFNGLUNIFORMMATRIX2X3FVPROC, UniformMatrix2x3fv)                              \
  X(PFNGLUNIFORMMATRIX3X2FVPROC, UniformMatrix3x2fv)                              \
  X(PFNGLVERTEXATTRIBDIVISORPROC, VertexAttribDivisor)                            \
  X(PFNGLPOLYGONOFFSETPROC, PolygonOffset)                                        \
  X(PFNGLSTENCILFUNCSEPARATEPROC, StencilFuncSeparate)                            \
  X(PFNGLSTENCILOPSEPARATEPROC, StencilOpSeparate)                                \
  X(PFNGLSTENCILMASKSEPARATEPROC, StencilMaskSeparate)                            \
  X(PFNGLBLENDFUNCSEPARATEPROC, BlendFuncSeparate)                                \
  X(PFNGLBLENDEQUATIONSEPARATEPROC, BlendEquationSeparate)                        \
  X(PFNGLBLENDCOLORPROC, BlendColor)

// GL 3.3 core's, which OpenGL ES 3.0 (WebGL2) lacks: required on a desktop
// context, null on an ES one (GlCaps says what the device does instead).
#define OSTREVIN_GL_DESKTOP_FUNCTIONS(X)                                          \
  X(PFNGLPOLYGONMODEPROC, PolygonMode)                                            \
  X(PFNGLPROVOKINGVERTEXPROC, ProvokingVertex)                                    \
  X(PFNGLDEPTHRANGEPROC, DepthRange)                                              \
  X(PFNGLCLEARDEPTHPROC, ClearDepth)                                              \
  X(PFNGLPOINTSIZEPROC, PointSize)                                                \
  X(PFNGLDRAWBUFFERPROC, DrawBuffer)                                              \
  X(PFNGLDRAWELEMENTSBASEVERTEXPROC, DrawElementsBaseVertex)                      \
  X(PFNGLMULTIDRAWARRAYSPROC, MultiDrawArrays)                                    \
  X(PFNGLMULTIDRAWELEMENTSBASEVERTEXPROC, MultiDrawElementsBaseVertex)

// OpenGL ES 3.0's float forms of the two above: required on an ES context,
// not loaded on a desktop one.
#define OSTREVIN_GL_ES_FUNCTIONS(X)                                               \
  X(PFNGLDEPTHRANGEFPROC, DepthRangef)                                            \
  X(PFNGLCLEARDEPTHFPROC, ClearDepthf)

// Present only on some contexts; null when missing.
#define OSTREVIN_GL_OPTIONAL_FUNCTIONS(X)                                         \
  X(PFNGLCLIPCONTROLPROC, ClipControl)                                            \
  X(PFNGLGETGRAPHICSRESETSTATUSPROC, GetGraphicsResetStatus)

namespace ostrevin {
namespace gl {

#define OSTREVIN_GL_DECLARE(type, name) extern type name;
OSTREVIN_GL_FUNCTIONS(OSTREVIN_GL_DECLARE)
OSTREVIN_GL_DESKTOP_FUNCTIONS(OSTREVIN_GL_DECLARE)
OSTREVIN_GL_ES_FUNCTIONS(OSTREVIN_GL_DECLARE)
OSTREVIN_GL_OPTIONAL_FUNCTIONS(OSTREVIN_GL_DECLARE)
#undef OSTREVIN_GL_DECLARE

// Loads every entry point of the current context (the desktop ones unless
// `es`). False (with the missing name in *missing) when a required one is absent.
bool Load(bool es, const char** missing);
bool HasExtension(const char* name);

}  // namespace gl
}  // namespace ostrevin
