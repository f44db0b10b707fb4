/*
    Bezel overlay: the game shrunk into a frame picture.

    Made for the tests of this program. Anyone may copy, change and pass
    on this file, with or without changes, for any purpose, without fee.
*/

// Written for a front end that hands the shader a second picture (the
// bezel) and the original input size; other programs may not.

#version 130

#pragma parameter BEZEL_ON "Bezel on" 1.0 0.0 1.0 1.0
#pragma parameter BEZEL_DIM "Bezel brightness" 0.5 0.0 1.0 0.05

#if defined(VERTEX)

#if __VERSION__ >= 130
#define COMPAT_VARYING out
#define COMPAT_ATTRIBUTE in
#else
#define COMPAT_VARYING varying
#define COMPAT_ATTRIBUTE attribute
#endif

COMPAT_ATTRIBUTE vec4 VertexCoord;
COMPAT_ATTRIBUTE vec4 TexCoord;
COMPAT_VARYING vec4 TEX0;
uniform mat4 MVPMatrix;

void main()
{
    gl_Position = MVPMatrix * VertexCoord;
    TEX0.xy = TexCoord.xy;
}

#elif defined(FRAGMENT)

#if __VERSION__ >= 130
#define COMPAT_VARYING in
#define COMPAT_TEXTURE texture
out vec4 FragColor;
#else
#define COMPAT_VARYING varying
#define FragColor gl_FragColor
#define COMPAT_TEXTURE texture2D
#endif

#ifdef PARAMETER_UNIFORM
uniform float BEZEL_ON;
uniform float BEZEL_DIM;
#else
#define BEZEL_ON 1.0
#define BEZEL_DIM 0.5
#endif

uniform sampler2D Texture;
uniform sampler2D BezelTexture;
uniform vec2 OrigInputSize;
COMPAT_VARYING vec4 TEX0;

void main()
{
    // A front end that gives no original size gets the game unscaled.
    vec2 scale = OrigInputSize.x > 0.0 ? vec2(0.9) : vec2(1.0);
    vec2 uv = (TEX0.xy - 0.5) / scale + 0.5;
    vec3 game = COMPAT_TEXTURE(Texture, uv).rgb;
    vec4 bezel = COMPAT_TEXTURE(BezelTexture, TEX0.xy * 0.8 + 0.1);
    FragColor = vec4(mix(game, bezel.rgb * BEZEL_DIM, bezel.a * BEZEL_ON), 1.0);
}
#endif
