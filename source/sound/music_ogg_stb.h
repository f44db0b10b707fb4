// What the Ogg reader asks of stb_vorbis beyond its own interface.
#pragma once

typedef struct stb_vorbis stb_vorbis;

// Whether stb_vorbis would decode the stream wrongly: it reads a residue of
// type 2 shared by more than two channels only up to the block's size, where
// it runs to the channels times half the block, so the rest of each block's
// spectrum is lost and the song plays as noise. libvorbis codes the five
// coupled channels of its 5.1 streams so.
int ogg_stb_cuts_residues(const stb_vorbis* v);
