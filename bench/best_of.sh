# Sourced by the whole-process benchmarks that time without farm-bench:
# best_of N CMD... prints the shortest wall-clock time of N runs and the
# shortest CPU time (user + system) of the same runs, in seconds ("WALL CPU").
# The command's output goes to a pipe that is read (GNU grep stops at the
# first match when it writes to /dev/null); a run that ends with a status
# other than 0 is named on stderr (grep -c ends with 1 when nothing matches).
best_of() {
  local n=$1; shift
  python3 - "$n" "$@" <<'PY'
import resource, subprocess, sys, time
n = int(sys.argv[1]); cmd = sys.argv[2:]
wall = cpu = None
for _ in range(n):
    r0 = resource.getrusage(resource.RUSAGE_CHILDREN)
    t = time.perf_counter()
    status = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).returncode
    d = time.perf_counter() - t
    r1 = resource.getrusage(resource.RUSAGE_CHILDREN)
    c = (r1.ru_utime - r0.ru_utime) + (r1.ru_stime - r0.ru_stime)
    wall = d if wall is None else min(wall, d)
    cpu = c if cpu is None else min(cpu, c)
    if status != 0:
        print(f"exit {status}: {' '.join(cmd)}", file=sys.stderr)
print(f"{wall:.4f} {cpu:.4f}")
PY
}
