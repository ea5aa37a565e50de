int core_floor() {
    return 0;
}
