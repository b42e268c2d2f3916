#!/bin/sh
# Runs a test program with a process list of its own: in a new PID namespace whose /proc
# shows only the program and what it starts. A ZarvoServer.exe that anyone else runs on
# the machine is then neither detected nor stopped by the program's tests, and whatever
# the program leaves running ends with it.
#   sh own-processes.sh PROGRAM [ARGUMENTS...]
# The namespace's first process is a shell that waits for the program in the foreground:
# it also reaps the servers that were started detached and so were handed to it (they
# would otherwise stay behind as zombies), and passes the program's exit status on.
# --kill-child ends the namespace with unshare, when ctest ends that at a timeout.
exec unshare --pid --fork --mount-proc --kill-child sh -c '"$@"; exit $?' own-processes "$@"
