# A throw-away one-node Slurm cluster under one folder, for the Slurm test pass. Source it; it
# defines functions only. Needs root and the Debian packages in SLURM_PACKAGES.

SLURM_PACKAGES=(slurmctld slurmd slurm-client munge)

# start_slurm_cluster DIR: starts munged, slurmctld and slurmd with everything they keep under
# DIR (an empty folder), exports SLURM_CONF for the client commands and waits, at most
# SLURM_START_SECONDS (60), for the node to be idle. Returns non-zero when it does not get there.
start_slurm_cluster() {
  local dir=$1
  local template
  template="$(repo_root)/scripts/slurm/slurm.conf.in"
  mkdir -p "$dir/munge" "$dir/state" "$dir/spool"
  # munged refuses a socket folder or key that others could write to or read.
  chmod 700 "$dir" "$dir/munge"
  mungekey --create --keyfile="$dir/munge/munge.key" || return 1
  chmod 600 "$dir/munge/munge.key"
  munged --force --socket="$dir/munge/munge.socket" --key-file="$dir/munge/munge.key" \
    --pid-file="$dir/munge/munged.pid" --log-file="$dir/munge/munged.log" \
    --seed-file="$dir/munge/munged.seed" || return 1

  sed -e "s|@DIR@|$dir|g" -e "s|@HOST@|$(hostname -s)|g" -e "s|@CPUS@|$(nproc)|g" \
    -e "s|@CTLD_PORT@|${SLURM_CTLD_PORT:-16817}|g" -e "s|@SLURMD_PORT@|${SLURM_SLURMD_PORT:-16818}|g" \
    "$template" > "$dir/slurm.conf"
  export SLURM_CONF="$dir/slurm.conf"
  slurmctld -f "$SLURM_CONF" || return 1
  slurmd -f "$SLURM_CONF" || return 1

  local deadline=$((SECONDS + ${SLURM_START_SECONDS:-60}))
  until [ "$(sinfo -h -N -o '%T' 2>/dev/null)" = "idle" ]; do
    if [ $SECONDS -ge $deadline ]; then
      echo "Slurm node not idle after ${SLURM_START_SECONDS:-60} s:" >&2
      sinfo -N -l >&2 || true
      tail -n 20 "$dir/slurmctld.log" "$dir/slurmd.log" >&2 || true
      return 1
    fi
    sleep 0.5
  done
}

# stop_slurm_cluster DIR: cancels the cluster's jobs and stops the daemons that
# start_slurm_cluster started, by their pid files. Safe to call after a partial start.
stop_slurm_cluster() {
  local dir=$1
  if [ -f "$dir/slurmctld.pid" ] && [ -n "${SLURM_CONF:-}" ]; then
    # Job steps outlive slurmd; this cluster's jobs are all ours to end.
    scancel --full --quiet $(squeue -h -o '%A' 2>/dev/null) 2>/dev/null || true
    local deadline=$((SECONDS + 20))
    while [ -n "$(squeue -h -o '%A' 2>/dev/null)" ] && [ $SECONDS -lt $deadline ]; do sleep 0.5; done
  fi
  local pid_file
  for pid_file in "$dir/slurmd.pid" "$dir/slurmctld.pid" "$dir/munge/munged.pid"; do
    stop_by_pid_file "$pid_file"
  done
}

# stop_by_pid_file FILE: ends the process named in FILE, by force after 10 s.
stop_by_pid_file() {
  local pid
  pid=$(cat "$1" 2>/dev/null) || return 0
  [[ "$pid" =~ ^[0-9]+$ ]] || return 0
  kill "$pid" 2>/dev/null || return 0
  local tries=0
  while kill -0 "$pid" 2>/dev/null; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ]; then
      kill -9 "$pid" 2>/dev/null || true
      break
    fi
    sleep 0.1
  done
}
