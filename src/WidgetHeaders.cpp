// Compiled only so that the precompiled widget headers have a target of their own.
