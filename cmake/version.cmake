# The one place the version is written: the project, the version resource, the
# manifest and the release package's name all take it from here.
set(CORVANTIS_VERSION 0.1.0.6)
