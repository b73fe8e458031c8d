# Shorthands for ./build.sh, which also works before make is installed.
.PHONY: run test bench clean
run:
	./build.sh run
test:
	./build.sh test
bench:
	./build.sh bench
clean:
	rm -rf build build-*
